// A fresh library store file for each test, opened as the process-wide main
// store that DataBaseHelper uses.
#pragma once

#include "core/library/LibraryStore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

class LibraryFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(LibraryStore::main().open(storePath()));
    }
    void TearDown() override { LibraryStore::cleanUp(); }

    QString storePath() const { return m_dir.filePath(QStringLiteral("Tavro.sqlite")); }
    LibraryStore &store() { return LibraryStore::main(); }

private:
    QTemporaryDir m_dir;
};
