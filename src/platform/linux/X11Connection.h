#pragma once

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

// The xcb connection Qt opened for this application, or null when it does not run on X11.
inline xcb_connection_t* qtX11Connection() {
    if (!qGuiApp || QGuiApplication::platformName() != u"xcb")
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// xcb hands each reply over to the caller, to be released with free().
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class R> using XcbReply = std::unique_ptr<R, FreeDeleter>;

// Takes ownership of what an xcb_..._reply() call returned; empty when the request failed.
template <class R> XcbReply<R> takeReply(R* reply) {
    return XcbReply<R>(reply);
}
