// A fresh library store for each test and one local backend for each test
// suite (started on a free port, stopped with the suite).
#pragma once

#include "BackendProcess.h"
#include "LibraryFixture.h"
#include "core/store/ApiRequest.h"

class BackendFixture : public LibraryFixture
{
protected:
    static void SetUpTestSuite()
    {
        backend = new BackendProcess;
        ASSERT_TRUE(backend->start()) << backend->error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete backend;
        backend = nullptr;
    }
    void SetUp() override
    {
        LibraryFixture::SetUp();
        backend->resetFaults();
        setApiTimeoutScale(1.0);
    }
    void TearDown() override
    {
        setApiTimeoutScale(1.0);
        LibraryFixture::TearDown();
    }

    // A profile access token from the password grant, taken over HTTP.
    static QString accessToken(const QString &login, const QString &password)
    {
        return backend->accessToken(login, password);
    }

    static inline BackendProcess *backend = nullptr;
};
