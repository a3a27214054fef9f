// The title (WM_NAME) of an X window, for the benchmarks that watch a real
// program's windows appear.
#pragma once

#include <QByteArray>

#include <xcb/xcb.h>

#include <cstdlib>

inline QByteArray WindowTitle(xcb_connection_t *connection, xcb_window_t window)
{
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, window, XCB_ATOM_WM_NAME,
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                               nullptr);
    if (!reply)
        return {};
    const QByteArray result(static_cast<const char *>(xcb_get_property_value(reply)),
                            xcb_get_property_value_length(reply));
    std::free(reply);
    return result;
}
