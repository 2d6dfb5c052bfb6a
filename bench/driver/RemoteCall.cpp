// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "RemoteCall.h"

#include <dbus/dbus.h>

RemoteCall::RemoteCall(const std::string &busAddress)
{
    DBusError error;
    dbus_error_init(&error);
    m_connection = dbus_connection_open_private(busAddress.c_str(), &error);
    if (m_connection && !dbus_bus_register(m_connection, &error)) {
        dbus_connection_close(m_connection);
        dbus_connection_unref(m_connection);
        m_connection = nullptr;
    }
    if (m_connection)
        dbus_connection_set_exit_on_disconnect(m_connection, FALSE);
    dbus_error_free(&error);
}

RemoteCall::~RemoteCall()
{
    if (!m_connection)
        return;
    dbus_connection_close(m_connection);
    dbus_connection_unref(m_connection);
}

bool RemoteCall::serviceAvailable()
{
    if (!m_connection)
        return false;
    DBusError error;
    dbus_error_init(&error);
    const bool owned = dbus_bus_name_has_owner(m_connection, "org.brenvale.Control", &error);
    dbus_error_free(&error);
    return owned;
}

bool RemoteCall::handleEvent(const std::string &eventClass, const std::string &eventID, int timeoutMs)
{
    if (!m_connection)
        return false;
    DBusMessage *call
        = dbus_message_new_method_call("org.brenvale.Control", "/Control", "org.brenvale.Control", "HandleEvent");
    if (!call)
        return false;
    const char *classText = eventClass.c_str();
    const char *idText = eventID.c_str();
    dbus_message_append_args(call, DBUS_TYPE_STRING, &classText, DBUS_TYPE_STRING, &idText, DBUS_TYPE_INVALID);
    DBusError error;
    dbus_error_init(&error);
    DBusMessage *reply = dbus_connection_send_with_reply_and_block(m_connection, call, timeoutMs, &error);
    dbus_message_unref(call);
    dbus_bool_t handled = FALSE;
    if (reply) {
        if (!dbus_message_get_args(reply, &error, DBUS_TYPE_BOOLEAN, &handled, DBUS_TYPE_INVALID))
            handled = FALSE;
        dbus_message_unref(reply);
    }
    dbus_error_free(&error);
    return handled;
}
