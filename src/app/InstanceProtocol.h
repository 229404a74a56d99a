#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// Requests and replies between two starts of the program travel over a local socket as one
// line each: a compact JSON object followed by "\n". A request names its "command" ("popup",
// "menu", "strip", "settings", "about", "check-updates", "quit", "activate") with "module" or
// "action" where needed ("popup" may ask to "toggle"); a reply carries "ok" and, on failure,
// "error".
namespace InstanceProtocol {

inline constexpr qsizetype maxRequestSize = 16 * 1024;
// Menus of long file names are the largest replies; anything near this is not a reply.
inline constexpr qsizetype maxReplySize = 16 * 1024 * 1024;

inline constexpr char commandPopup[] = "popup";
inline constexpr char commandMenu[] = "menu";
inline constexpr char commandStrip[] = "strip";
inline constexpr char commandSettings[] = "settings";
inline constexpr char commandAbout[] = "about";
inline constexpr char commandCheckUpdates[] = "check-updates";
inline constexpr char commandQuit[] = "quit";
inline constexpr char commandActivate[] = "activate";

inline constexpr char keyCommand[] = "command";
inline constexpr char keyModule[] = "module";
inline constexpr char keyAction[] = "action";
inline constexpr char keyToggle[] = "toggle";
inline constexpr char keyOk[] = "ok";
inline constexpr char keyError[] = "error";
inline constexpr char keyMenu[] = "menu";
inline constexpr char keyStripVisible[] = "stripVisible";

QByteArray encode(const QJsonObject& message);
// One frame without its newline; none unless it is a JSON object.
std::optional<QJsonObject> decode(const QByteArray& frame);

QJsonObject errorReply(const QString& message);

} // namespace InstanceProtocol

// Where the running instance listens: "pelora.socket" in $XDG_RUNTIME_DIR when that is a folder
// of this user that nobody else may write to, else in a folder "pelora-<uid>" of the system's
// temporary folder, created private (0700) when missing and refused when it is a link or belongs to
// someone else. Empty, with the reason in *error, when there is no safe place.
QString instanceSocketPath(QString* error = nullptr);
QString instanceSocketPath(const QString& runtimeDir, const QString& tempDir, QString* error);
