#include "X11Windows.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace wendel::x11 {

namespace {

xcb_connection_t* Connection()
{
    const auto* native = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return native ? native->connection() : nullptr;
}

std::vector<unsigned int> AskAtoms(xcb_connection_t* c, const std::vector<const char*>& names)
{
    std::vector<unsigned int> asked;
    asked.reserve(names.size());
    for (const char* name : names) {
        asked.push_back(xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name).sequence);
    }
    return asked;
}

std::vector<xcb_atom_t> AtomAnswers(xcb_connection_t* c, const std::vector<unsigned int>& asked)
{
    std::vector<xcb_atom_t> atoms;
    atoms.reserve(asked.size());
    for (const unsigned int sequence : asked) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, xcb_intern_atom_cookie_t{sequence}, nullptr);
        atoms.push_back(reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE});
        std::free(reply);
    }
    return atoms;
}

// All the questions go out before the first answer is awaited: one round
// trip to the server, not one per name.
std::vector<xcb_atom_t> Atoms(xcb_connection_t* c, const std::vector<const char*>& names)
{
    return AtomAnswers(c, AskAtoms(c, names));
}

} // namespace

bool Available()
{
    return Connection() != nullptr;
}

void SetBlackBackground(WId window)
{
    xcb_connection_t* c = Connection();
    if (!c) return;
    const std::uint32_t black = xcb_setup_roots_iterator(xcb_get_setup(c)).data->black_pixel;
    const auto id = static_cast<xcb_window_t>(window);
    xcb_change_window_attributes(c, id, XCB_CW_BACK_PIXEL, &black);
    // A window already on the screen shows the new background at once.
    xcb_clear_area(c, 0, id, 0, 0, 0, 0);
    xcb_flush(c);
}

void MarkSaverWindow(WId window, bool fullScreen)
{
    SaverStates().Mark(window, fullScreen);
}

SaverStates::SaverStates()
{
    if (xcb_connection_t* c = Connection()) {
        // Full screen last: a window that is not leaves it out.
        asked_ = AskAtoms(c, {"_NET_WM_STATE", "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR",
                              "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_FULLSCREEN"});
    }
}

SaverStates::~SaverStates()
{
    // An answer never read would stay in the connection for good.
    if (xcb_connection_t* c = Connection()) {
        for (const unsigned int sequence : asked_) xcb_discard_reply(c, sequence);
    }
}

void SaverStates::Mark(WId window, bool fullScreen)
{
    xcb_connection_t* c = Connection();
    if (!c) return;
    if (atoms_.empty()) {
        atoms_ = AtomAnswers(c, asked_);
        asked_.clear();
    }
    if (atoms_.empty()) return; // no server when this was made
    const std::uint32_t states = static_cast<std::uint32_t>(atoms_.size()) - (fullScreen ? 1 : 2);
    // Qt adds its own states to these when it maps the window.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window), atoms_.front(),
                        XCB_ATOM_ATOM, 32, states, atoms_.data() + 1);
    xcb_flush(c);
}

void KeepOffTaskBar(WId window)
{
    xcb_connection_t* c = Connection();
    if (!c) return;
    const std::vector<xcb_atom_t> atoms = Atoms(c, {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"});
    xcb_change_property(c, XCB_PROP_MODE_APPEND, static_cast<xcb_window_t>(window), atoms[0], XCB_ATOM_ATOM, 32,
                        1, &atoms[1]);
    xcb_flush(c);
}

void ResetScreenSaver()
{
    xcb_connection_t* c = Connection();
    if (!c) return;
    xcb_force_screen_saver(c, XCB_SCREEN_SAVER_RESET);
    xcb_flush(c);
}

GrabResult GrabKeyboard(WId window)
{
    xcb_connection_t* c = Connection();
    if (!c) return GrabResult::Unsupported;
    const xcb_grab_keyboard_cookie_t cookie =
        xcb_grab_keyboard(c, 0, static_cast<xcb_window_t>(window), XCB_CURRENT_TIME,
                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t* error = nullptr;
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(c, cookie, &error);
    std::free(error);
    if (!reply) return GrabResult::Refused;
    const std::uint8_t status = reply->status;
    std::free(reply);
    switch (status) {
    case XCB_GRAB_STATUS_SUCCESS: return GrabResult::Grabbed;
    case XCB_GRAB_STATUS_NOT_VIEWABLE: return GrabResult::NotViewable;
    case XCB_GRAB_STATUS_ALREADY_GRABBED:
    case XCB_GRAB_STATUS_FROZEN: return GrabResult::HeldElsewhere;
    default: return GrabResult::Refused;
    }
}

void UngrabKeyboard()
{
    xcb_connection_t* c = Connection();
    if (!c) return;
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
}

GrabWatch::GrabWatch(std::function<WId()> holder, std::function<void()> onMaybeLost)
    : holder_(std::move(holder)), onMaybeLost_(std::move(onMaybeLost))
{
    if (Available()) qGuiApp->installNativeEventFilter(this);
}

GrabWatch::~GrabWatch()
{
    if (qGuiApp) qGuiApp->removeNativeEventFilter(this);
}

bool GrabWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    xcb_window_t window = XCB_WINDOW_NONE;
    switch (event->response_type & 0x7F) {
    case XCB_MAP_NOTIFY:
        window = reinterpret_cast<const xcb_map_notify_event_t*>(event)->window;
        break;
    case XCB_FOCUS_OUT: {
        const auto* focus = reinterpret_cast<const xcb_focus_out_event_t*>(event);
        if (focus->mode == XCB_NOTIFY_MODE_UNGRAB) window = focus->event;
        break;
    }
    default:
        return false;
    }
    if (window != XCB_WINDOW_NONE && window == static_cast<xcb_window_t>(holder_()) && onMaybeLost_) {
        onMaybeLost_();
    }
    return false; // Qt handles the event as ever
}

std::optional<QRect> ForeignGeometry(WId window)
{
    xcb_connection_t* c = Connection();
    if (!c) return std::nullopt;
    // The error of a window that does not exist is ours to read, not Qt's to log.
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, static_cast<xcb_window_t>(window)), &error);
    std::free(error);
    if (!reply) return std::nullopt;
    const QRect geometry(reply->x, reply->y, reply->width, reply->height);
    std::free(reply);
    return geometry;
}

} // namespace wendel::x11
