// The pasteboard and the clipboard history on a real X server, with xclip and owners of the
// test's own as the other programs.
#include "clipboard/ClipboardHistoryService.h"
#include "platform/linux/x11/X11Pasteboard.h"
#include "support/FakePlatform.h"
#include "x11/X11Harness.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Another program that owns the clipboard until someone else takes it, then quits.
std::unique_ptr<QProcess> xclip(const QString& target, const QByteArray& content) {
    auto process = std::make_unique<QProcess>();
    process->start(u"xclip"_s, {u"-quiet"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, target});
    process->write(content);
    process->closeWriteChannel();
    return process;
}

// An owner that answers for the targets it offers a value for and never for the others, as a
// password manager may for its hint. With nothing to offer it stands for a stuck program and
// answers nothing at all.
class Owner : public X11Client {
public:
    using Offers = QList<std::pair<QByteArray, std::optional<QByteArray>>>;
    explicit Owner(Offers offers) : offers_(std::move(offers)) {
        for (const auto& offer : offers_)
            atoms_ << atom(offer.first.constData());
        xcb_set_selection_owner(c, window_, atom("CLIPBOARD"), XCB_CURRENT_TIME);
        sync();
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { answer(); });
        answer(); // what came while it was set up
    }

private:
    void answer() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST)
                answer(*reinterpret_cast<xcb_selection_request_event_t*>(event));
            std::free(event);
        }
    }
    void answer(const xcb_selection_request_event_t& r) {
        const qsizetype i = atoms_.indexOf(r.target);
        const bool targets = r.target == targets_;
        if (targets ? offers_.isEmpty() : i < 0 || !offers_[i].second)
            return;
        const QByteArray value =
            targets
                ? QByteArray(reinterpret_cast<const char*>(atoms_.constData()), atoms_.size() * 4)
                : *offers_[i].second;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, r.property,
                            targets ? xcb_atom_t(XCB_ATOM_ATOM) : r.target, targets ? 32 : 8,
                            quint32(targets ? atoms_.size() : value.size()), value.constData());
        const xcb_selection_notify_event_t notify{
            XCB_SELECTION_NOTIFY, 0, 0, r.time, r.requestor, r.selection, r.target, r.property};
        xcb_send_event(c, 0, r.requestor, 0, reinterpret_cast<const char*>(&notify));
        xcb_flush(c);
    }

    Offers offers_;
    QList<xcb_atom_t> atoms_;
    xcb_atom_t targets_ = atom("TARGETS");
    xcb_window_t window_ = window();
    QSocketNotifier notifier_{xcb_get_file_descriptor(c), QSocketNotifier::Read};
};

bool waitForChange(Pasteboard& pasteboard, qint64 from) {
    return waitUntil([&] { return pasteboard.changeCount() != from; }, 2000);
}

} // namespace

TEST(X11Pasteboard, ReadsEveryTypeAnotherProgramCopies) {
    REQUIRE_X11();
    X11Pasteboard pasteboard;
    // More than one X request: these come in INCR chunks, the huge one read only up to the limit.
    QByteArray large;
    for (int i = 0; i < 1500000; ++i)
        large += char(i % 251);
    const QByteArray huge(3 << 20, 'x');
    const struct {
        QString target, type;
        QByteArray content, read;
    } rows[] = {
        {u"UTF8_STRING"_s, PasteboardType::plainText, "gr\u00fc\u00dfe", "gr\u00fc\u00dfe"},
        {u"STRING"_s, PasteboardType::plainText, "caf\xe9", "caf\xc3\xa9"},
        {PasteboardType::png, PasteboardType::png, large, large},
        {u"UTF8_STRING"_s, PasteboardType::plainText, huge, huge.left(2 << 20)},
    };
    // Each stays until the next one has taken over. xclip quits when a transfer is left unread,
    // so the huge text comes last.
    std::vector<std::unique_ptr<QProcess>> owners;
    auto read = [&](const QString& type) {
        std::optional<PasteboardSnapshot> s;
        pasteboard.readSnapshot({{{type, 2 << 20}}, 2000}, [&](const auto& got) { s = got; });
        EXPECT_TRUE(waitUntil([&] { return s.has_value(); }));
        return s.value_or(PasteboardSnapshot());
    };
    // An owner that quits takes its content along: a change with nothing offered.
    qint64 count = pasteboard.changeCount();
    std::unique_ptr<QProcess> owner = xclip(u"UTF8_STRING"_s, "gone");
    ASSERT_TRUE(waitForChange(pasteboard, count));
    count = pasteboard.changeCount();
    owner.reset();
    ASSERT_TRUE(waitForChange(pasteboard, count));
    EXPECT_TRUE(read(PasteboardType::plainText).types.isEmpty());
    for (const auto& row : rows) {
        SCOPED_TRACE(qPrintable(row.target));
        count = pasteboard.changeCount();
        owners.push_back(xclip(row.target, row.content));
        ASSERT_TRUE(waitForChange(pasteboard, count));
        const PasteboardSnapshot s = read(row.type);
        EXPECT_EQ(s.types, QStringList{row.type}) << "nothing of the selection protocol";
        EXPECT_EQ(s.dataForType(row.type), row.read);
        EXPECT_EQ(s.truncated.contains(row.type), row.read.size() < row.content.size());
    }
}

// Type names longer than any real one are left out: an owner that offers new ones of 60 KB at
// each copy must not fill the reader's memory with them.
TEST(X11Pasteboard, LeavesOutTypeNamesLongerThanAnyRealOne) {
    REQUIRE_X11();
    X11Pasteboard pasteboard;
    const qint64 count = pasteboard.changeCount();
    const Owner owner({{QByteArray(60000, 'n'), "x"}, {"UTF8_STRING", "words"}});
    ASSERT_TRUE(waitForChange(pasteboard, count));
    std::optional<PasteboardSnapshot> s;
    pasteboard.readSnapshot({{{PasteboardType::plainText, 64}}, 2000},
                            [&](const auto& got) { s = got; });
    ASSERT_TRUE(waitUntil([&] { return s.has_value(); }));
    EXPECT_EQ(s->types, QStringList{PasteboardType::plainText});
    EXPECT_EQ(s->dataForType(PasteboardType::plainText), "words");
}

TEST(X11History, KeepsWhatIsNeitherSecretNorStuckAndNeverWaitsForIt) {
    REQUIRE_X11();
    // The history over the real pasteboard, the rest of the platform faked.
    const auto pasteboard = std::make_shared<X11Pasteboard>();
    const FakePlatform fakes;
    Platform platform = fakes.platform();
    platform.pasteboard = pasteboard;
    Services services(platform);
    ClipboardHistoryService history(*fakes.running, *fakes.workspace, *pasteboard);
    const Owner::Offers rows[] = {
        {}, // stuck: answers nothing at all
        {{"UTF8_STRING", "hunter2"}, {"x-kde-passwordManagerHint", "secret"}},
        {{"UTF8_STRING", "hunter5"}, {"x-kde-passwordManagerHint", std::nullopt}},
        {{"UTF8_STRING", "words"}, {"x-kde-passwordManagerHint", "public"}},
    };
    // The longest the main thread went without running a 10 ms timer, as a user of the strip
    // would feel it; Qt's own read would freeze it for five seconds at each stuck owner.
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    ticker.start(10);
    sinceTick.start();
    std::unique_ptr<Owner> owner;
    for (const Owner::Offers& offers : rows) {
        const qint64 count = pasteboard->changeCount();
        // The next owner takes over before the last one goes: one change each.
        owner = std::make_unique<Owner>(offers);
        ASSERT_TRUE(waitForChange(*pasteboard, count));
        history.checkPasteboard();
        ASSERT_TRUE(waitUntil([&] { return !history.isCapturing(); }));
    }
    EXPECT_LT(std::max(longest, sinceTick.elapsed()), 1000);
    QStringList keys;
    for (const ClipboardItem& item : history.items())
        keys << ClipboardHistoryService::contentKey(item);
    EXPECT_EQ(keys, QStringList{u"text:words"_s});
}

// What another program pasting the type gets, or nothing when none is offered (xclip then ends
// quietly or with an error). Pelora serves it from this thread's event loop meanwhile.
static std::optional<QByteArray> paste(const QString& type) {
    QProcess p;
    p.start(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, type});
    EXPECT_TRUE(waitUntil([&] { return p.state() == QProcess::NotRunning; }));
    const QByteArray out = p.readAllStandardOutput();
    return p.exitCode() == 0 && !out.isEmpty() ? std::optional(out) : std::nullopt;
}

TEST(X11Pasteboard, WritesRichTextAndFileListsOthersPasteAndClears) {
    REQUIRE_X11();
    X11Pasteboard pasteboard;
    const QByteArray rtf = "{\\rtf1 caf\\'e9}";
    const QList<QUrl> files{QUrl("file:///tmp/a%20b.txt"), QUrl("file:///tmp/c")};
    using C = PasteboardContents;
    const struct {
        std::optional<C> write; // none: what the row before wrote; empty contents clear
        QString type;
        std::optional<QByteArray> pasted;
    } rows[] = {
        {C{u"caf\u00e9"_s, {}, {{PasteboardType::rtf, rtf}}}, PasteboardType::rtf, rtf},
        {{}, u"UTF8_STRING"_s, "caf\xc3\xa9"},
        {C{std::nullopt, files, {}}, PasteboardType::gnomeCopiedFiles,
         "copy\nfile:///tmp/a%20b.txt\nfile:///tmp/c"},
        {{}, PasteboardType::uriList, "file:///tmp/a%20b.txt\r\nfile:///tmp/c\r\n"},
        // File managers would take a web address for a file.
        {C{std::nullopt, {QUrl("https://example.org/")}, {}}, PasteboardType::gnomeCopiedFiles,
         std::nullopt},
        {C{}, u"TARGETS"_s, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(qPrintable(row.type));
        if (row.write)
            pasteboard.clearAndWrite(*row.write);
        EXPECT_EQ(paste(row.type), row.pasted);
    }
}
