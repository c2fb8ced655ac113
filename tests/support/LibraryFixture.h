// A fresh library store file for each test, opened on a temporary file;
// library() hands out its repositories as the application does.
#pragma once

#include "core/library/Library.h"
#include "core/library/LibraryStore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

class LibraryFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_store.open(storePath()));
    }
    void TearDown() override { m_store.close(); }

    QString storePath() const { return m_dir.filePath(QStringLiteral("Tavro.sqlite")); }
    LibraryStore &store() { return m_store; }
    Library library() { return Library(m_store); }

private:
    QTemporaryDir m_dir;
    LibraryStore m_store;
};
