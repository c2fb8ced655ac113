// The local publisher backend: every server the client talks to (store
// API, store web, profile, annotation sync, news XML-RPC, plain files,
// analytics), each under its own path prefix, on one loopback port.
//
// Handlers run on the HTTP server's worker threads; BackendStore serialises
// its database access.
#pragma once

#include "BackendConfig.h"
#include "BackendStore.h"
#include "FaultInjector.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <string>

namespace httplib
{
class Server;
struct Request;
struct Response;
} // namespace httplib

struct Backend {
    BackendConfig config;
    BackendStore store;
    FaultInjector faults;
    QString baseUrl; // http://127.0.0.1:PORT, known once listening
    QString samplesDir; // generated books and packages
    QString filesDir; // plain files
    QByteArray secret; // signs download links; the server's alone

    // Installs the request limits, the refusal log, the fault hook and
    // every route on `server`.
    void install(httplib::Server &server);
};

// The largest request body accepted on `path`, and on any path.
size_t bodyLimit(const std::string &path);
size_t largestBodyLimit();

// Each endpoint kind adds its routes.
void installStoreApi(httplib::Server &server, Backend &backend);
void installStoreWeb(httplib::Server &server, Backend &backend);
void installProfile(httplib::Server &server, Backend &backend);
void installSync(httplib::Server &server, Backend &backend);
void installNewsRpc(httplib::Server &server, Backend &backend);
void installFiles(httplib::Server &server, Backend &backend);
void installAnalytics(httplib::Server &server, Backend &backend);
void installControl(httplib::Server &server, Backend &backend);
