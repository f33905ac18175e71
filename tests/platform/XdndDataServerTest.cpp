#include <gtest/gtest.h>

#include <QTest>
#include <QUrl>
#include <optional>

#include "platform/X11.h"
#include "platform/XdndDataServer.h"

namespace framlet {
namespace {

// An unmapped window of the connection's own, to own a selection or receive one.
xcb_window_t inputOnlyWindow(xcb_connection_t* connection) {
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, X11::firstRoot(connection), 0, 0, 1,
                      1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    return window;
}

// Another X client asking for the drag selection, as Mutter does for a Wayland window.
class Asker {
public:
    Asker()
        : m_connection(xcb_connect(nullptr, nullptr)), m_window(inputOnlyWindow(m_connection)) {}
    ~Asker() { xcb_disconnect(m_connection); }

    // The answer's bytes and type, or nothing when the owner refused or never answered.
    std::optional<std::pair<QByteArray, xcb_atom_t>> ask(const char* target) {
        const xcb_atom_t property = X11::atom(m_connection, "FRAMLET_ANSWER");
        xcb_convert_selection(m_connection, m_window, X11::atom(m_connection, "XdndSelection"),
                              X11::atom(m_connection, target), property, XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        std::optional<xcb_atom_t> answered;
        (void)QTest::qWaitFor(  // a missing answer shows as nothing
            [&] {
                while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                    if ((event->response_type & 0x7f) == XCB_SELECTION_NOTIFY) {
                        answered = reinterpret_cast<xcb_selection_notify_event_t*>(event)->property;
                    }
                    std::free(event);
                }
                return answered.has_value();
            },
            5000);
        if (!answered || *answered == XCB_ATOM_NONE) {
            return std::nullopt;
        }
        const auto value = X11::reply(
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, 1, m_window, property,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20),
                                   nullptr));
        if (!value) {
            return std::nullopt;
        }
        const int bytes = xcb_get_property_value_length(value.get());
        return std::pair{
            QByteArray(static_cast<const char*>(xcb_get_property_value(value.get())), bytes),
            value->type};
    }
    xcb_atom_t atom(const char* name) { return X11::atom(m_connection, name); }

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_window;
};

bool filters(XdndDataServer& server, const char* selection, const char* target) {
    xcb_connection_t* connection = X11::connection();
    xcb_selection_request_event_t request{};
    request.response_type = XCB_SELECTION_REQUEST;
    request.selection = X11::atom(connection, selection);
    request.target = X11::atom(connection, target);
    request.requestor = X11::firstRoot(connection);
    request.property = X11::atom(connection, "FRAMLET_UNUSED");
    return server.nativeEventFilter("xcb_generic_event_t", &request, nullptr);
}

// Qt's drag answers neither the formats nor, once it has ended, the files: a drop that Mutter
// carries from XWayland to a Wayland window arrived empty without these answers.
TEST(XdndDataServer, AnswersTheFormatsAndOnceTheDragHasEndedTheFiles) {
    xcb_connection_t* connection = X11::connection();
    ASSERT_NE(connection, nullptr);
    // The program owns the drag selection, as it does from the start of its drag.
    xcb_set_selection_owner(connection, inputOnlyWindow(connection),
                            X11::atom(connection, "XdndSelection"), XCB_CURRENT_TIME);
    xcb_flush(connection);
    XdndDataServer server(connection, {QUrl::fromLocalFile(QStringLiteral("/tmp/a b/Shot 1.png")),
                                       QUrl::fromLocalFile(QStringLiteral("/tmp/é\n.png"))});
    Asker asker;

    const auto targets = asker.ask("TARGETS");
    ASSERT_TRUE(targets.has_value());
    EXPECT_EQ(targets->second, XCB_ATOM_ATOM);
    const auto* atoms = reinterpret_cast<const xcb_atom_t*>(targets->first.constData());
    const std::vector<xcb_atom_t> offered(atoms, atoms + targets->first.size() / 4);
    for (const char* type : {"TARGETS", "text/uri-list", "text/plain", "UTF8_STRING"}) {
        EXPECT_NE(std::count(offered.begin(), offered.end(), asker.atom(type)), 0) << type;
    }
    // While the drag lasts, Qt answers for the data; other selections are always Qt's.
    EXPECT_FALSE(filters(server, "XdndSelection", "text/uri-list"));
    EXPECT_FALSE(filters(server, "CLIPBOARD", "TARGETS"));

    server.dragEnded();
    const auto uriList = asker.ask("text/uri-list");
    ASSERT_TRUE(uriList.has_value());
    EXPECT_EQ(uriList->first, "file:///tmp/a%20b/Shot%201.png\r\nfile:///tmp/%C3%A9%0A.png\r\n");
    EXPECT_EQ(uriList->second, asker.atom("text/uri-list"));
    const auto text = asker.ask("UTF8_STRING");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(QString::fromUtf8(text->first),
              QStringLiteral("/tmp/a b/Shot 1.png\n/tmp/é\n.png\n"));
    EXPECT_FALSE(asker.ask("image/png").has_value());  // refused, not left waiting
    EXPECT_FALSE(filters(server, "CLIPBOARD", "text/uri-list"));
}

}  // namespace
}  // namespace framlet
