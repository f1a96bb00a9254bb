// x-window close TITLE [SECONDS]: waits until a window with that title is
// shown on the X display, then asks it to close the way a window manager
// does (WM_DELETE_WINDOW), again while it stays. Exit status 0 when it was
// found and asked, 1 when none appeared in time (10 seconds by default), 2
// without a display.
#include <xcb/xcb.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, Free>;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::string property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 1024), nullptr));
    if (!reply)
        return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       size_t(xcb_get_property_value_length(reply.get())));
}

bool viewable(xcb_connection_t* c, xcb_window_t window) {
    Reply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::vector<xcb_window_t> children(xcb_connection_t* c, xcb_window_t window) {
    Reply<xcb_query_tree_reply_t> reply(
        xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    if (!reply)
        return {};
    xcb_window_t* first = xcb_query_tree_children(reply.get());
    return {first, first + xcb_query_tree_children_length(reply.get())};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "close") != 0) {
        std::fprintf(stderr, "usage: x-window close TITLE [SECONDS]\n");
        return 2;
    }
    const std::string title = argv[2];
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 10;
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "x-window: no display\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    const xcb_atom_t netName = atom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = atom(c, "WM_DELETE_WINDOW");

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const auto find = [&]() -> xcb_window_t {
        for (xcb_window_t window : children(c, root)) {
            const bool named = property(c, window, netName, utf8) == title ||
                               property(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) == title;
            if (named && viewable(c, window))
                return window;
        }
        return XCB_WINDOW_NONE;
    };
    bool asked = false;
    while (std::chrono::steady_clock::now() < deadline) {
        const xcb_window_t window = find();
        if (window == XCB_WINDOW_NONE) {
            if (asked)
                break;  // it closed
            usleep(100 * 1000);
            continue;
        }
        // As a person would: the window is seen a moment before it is
        // closed, and asked again when a request came too early to count.
        usleep(300 * 1000);
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = protocols;
        message.data.data32[0] = deleteWindow;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(c);
        asked = true;
        usleep(1500 * 1000);
    }
    xcb_disconnect(c);
    if (asked)
        return 0;
    std::fprintf(stderr, "x-window: no window \"%s\" appeared\n", title.c_str());
    return 1;
}
