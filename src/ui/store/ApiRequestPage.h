// Loading a store API request (a form POST) in a web view, as the store and
// the top screen's purchase history do.
//
// Main thread only.
#pragma once

#include "core/store/ApiRequest.h"

#include <QWebEngineHttpRequest>

// The request's URL, headers and form body as a POST for the web view.
inline QWebEngineHttpRequest webPostRequest(const ApiRequest &request)
{
    QWebEngineHttpRequest r(request.request.url(), QWebEngineHttpRequest::Post);
    for (const QByteArray &name : request.request.rawHeaderList())
        r.setHeader(name, request.request.rawHeader(name));
    r.setHeader("Content-Type", "application/x-www-form-urlencoded");
    r.setPostData(request.body);
    return r;
}
