// SPDX-License-Identifier: MIT
#include "Manifest.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <set>
#include <tuple>

namespace kx9::cli {

namespace {

constexpr qsizetype MaxManifestBytes = 4 * 1024 * 1024;
constexpr int MaxGraphics = 10;
constexpr int MaxPageLines = 5;

const QStringList BoardKeys = {"port",   "address", "baud",  "frame",   "timeout",
                               "config", "page",    "clock", "graphics"};

struct Parser {
    QString folder;
    QString error;

    bool Fail(const QString& where, const QString& why) {
        if (error.isEmpty())
            error = where + QStringLiteral(": ") + why;
        return false;
    }

    QString FileAt(const QString& name) const { return name.isEmpty() ? name : QDir(folder).filePath(name); }

    // A whole number in [low, high] from a JSON number or a text of digits.
    std::optional<int> Number(const QJsonValue& v, int low, int high) {
        double d = 0;
        if (v.isDouble()) {
            d = v.toDouble();
        } else if (v.isString()) {
            bool ok = false;
            d = v.toString().trimmed().toInt(&ok);
            if (!ok)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
        // Range first: a huge number must never reach the conversion.
        if (!(d >= low && d <= high) || d != std::floor(d))
            return std::nullopt;
        return int(d);
    }

    bool Text(const QString& where, const QString& text) {
        const int at = ControlCharAt(text);
        if (at >= 0)
            return Fail(where, QStringLiteral("holds a control character (%1)").arg(CodePoint(text, at)));
        return true;
    }

    bool Link(const QString& where, const QJsonObject& o, LinkChoice& link) {
        if (o.contains("port")) {
            const QJsonValue v = o.value("port");
            const std::optional<LinkChoice> port = v.isString() ? PortChoice(v.toString()) : std::nullopt;
            if (!port || !Text(where + QStringLiteral(" port"), v.toString()))
                return Fail(where, QStringLiteral("\"port\" must be COM1..COM8 or a device path"));
            link.portIndex = port->portIndex;
            link.portPath = port->portPath;
            link.portGiven = port->portGiven;
        }
        if (o.contains("baud")) {
            const QJsonValue v = o.value("baud");
            const std::optional<int> rate = Number(v, 1, 1000000);
            const std::optional<int> index = rate ? BaudIndexOf(QString::number(*rate)) : std::nullopt;
            if (!index)
                return Fail(where, QStringLiteral("\"baud\" must be 2400, 4800, 9600, 14400, 19200, 38400, "
                                                  "57600 or 115200"));
            link.baudIndex = index;
        }
        if (o.contains("frame")) {
            const QJsonValue v = o.value("frame");
            const std::optional<int> index = v.isString() ? FrameIndexOf(v.toString()) : std::nullopt;
            if (!index)
                return Fail(where, QStringLiteral("\"frame\" must be 8N1, 8N2, 8E1 or 8O1"));
            link.frameIndex = index;
        }
        if (o.contains("timeout")) {
            const std::optional<int> ms = Number(o.value("timeout"), 100, 20000);
            if (!ms)
                return Fail(where, QStringLiteral("\"timeout\" must be 100..20000 ms"));
            link.timeoutMs = ms;
        }
        return true;
    }

    std::optional<std::vector<int>> Addresses(const QString& where, const QJsonValue& v) {
        if (v.isDouble()) {
            const std::optional<int> a = Number(v, 0, 1000);
            if (!a || *a < frame::MinAddress || *a > frame::MaxAddress) {
                Fail(where, QStringLiteral("\"address\" must be 1..247") +
                                (a && *a == 0 ? QStringLiteral(" (address 0 is a broadcast to every board)")
                                              : QString()));
                return std::nullopt;
            }
            return std::vector<int>{*a};
        }
        if (v.isString()) {
            QString reason;
            const std::optional<std::vector<int>> list = AddressList(v.toString(), &reason);
            if (!list)
                Fail(where, QStringLiteral("\"address\" ") + reason);
            return list;
        }
        if (v.isArray()) {
            std::vector<int> list;
            std::set<int> seen;
            for (const QJsonValue& item : v.toArray()) {
                const std::optional<int> a = Number(item, frame::MinAddress, frame::MaxAddress);
                if (!a || item.isString()) {
                    Fail(where, QStringLiteral("\"address\" lists must hold numbers 1..247"));
                    return std::nullopt;
                }
                if (!seen.insert(*a).second) {
                    Fail(where, QStringLiteral("\"address\" lists %1 twice").arg(*a));
                    return std::nullopt;
                }
                list.push_back(*a);
            }
            if (list.empty()) {
                Fail(where, QStringLiteral("\"address\" lists no board"));
                return std::nullopt;
            }
            return list;
        }
        Fail(where, QStringLiteral("\"address\" must be a number or a list such as \"1-3\""));
        return std::nullopt;
    }

    bool Page(const QString& where, const QJsonValue& v, ManifestBoard& board) {
        if (!v.isObject())
            return Fail(where, QStringLiteral("\"page\" must be an object with \"number\" and \"lines\""));
        const QJsonObject o = v.toObject();
        for (const QString& key : o.keys())
            if (key != "number" && key != "name" && key != "lines")
                return Fail(where, QStringLiteral("\"page\" has no key \"%1\"").arg(key));
        ManifestPage page;
        const std::optional<int> number = Number(o.value("number"), 0, PageCount - 1);
        if (!number)
            return Fail(where, QStringLiteral("\"page\" needs \"number\", a text page 0..114"));
        page.number = *number;
        if (o.contains("name")) {
            if (!o.value("name").isString())
                return Fail(where, QStringLiteral("page \"name\" must be a text"));
            page.name = o.value("name").toString();
            if (!Text(where + QStringLiteral(" page name"), *page.name))
                return false;
        }
        const QJsonValue lines = o.value("lines");
        if (!lines.isUndefined() && !lines.isArray())
            return Fail(where, QStringLiteral("page \"lines\" must be a list of texts"));
        for (const QJsonValue& line : lines.toArray()) {
            if (!line.isString())
                return Fail(where, QStringLiteral("page \"lines\" must be a list of texts"));
            if (!Text(where + QStringLiteral(" page line"), line.toString()))
                return false;
            page.lines << line.toString();
        }
        if (page.lines.size() > MaxPageLines)
            return Fail(where, QStringLiteral("a page has at most %1 lines").arg(MaxPageLines));
        board.page = page;
        return true;
    }

    bool Graphics(const QString& where, const QJsonValue& v, ManifestBoard& board) {
        if (!v.isArray())
            return Fail(where, QStringLiteral("\"graphics\" must be a list of {\"slot\", \"file\"}"));
        std::set<int> taken;
        for (const QJsonValue& item : v.toArray()) {
            const QJsonObject o = item.toObject();
            const std::optional<int> slot = Number(o.value("slot"), 0, 124);
            if (!item.isObject() || !slot || (*slot > 9 && *slot < 115))
                return Fail(where,
                            QStringLiteral("graphic \"slot\" must be a graphic page 115..124 or 0..9"));
            if (!o.value("file").isString() || o.value("file").toString().isEmpty())
                return Fail(where, QStringLiteral("graphic needs \"file\", a picture file"));
            for (const QString& key : o.keys())
                if (key != "slot" && key != "file")
                    return Fail(where, QStringLiteral("a graphic has no key \"%1\"").arg(key));
            if (!taken.insert(*slot % 115).second)
                return Fail(where, QStringLiteral("graphic page %1 is given twice").arg(115 + *slot % 115));
            board.graphics.push_back({*slot, FileAt(o.value("file").toString())});
        }
        if (int(board.graphics.size()) > MaxGraphics)
            return Fail(where, QStringLiteral("at most %1 graphics").arg(MaxGraphics));
        return true;
    }

    bool Clock(const QString& where, const QJsonValue& v, ManifestBoard& board) {
        const QString text = v.toString();
        if (!v.isString())
            return Fail(where,
                        QStringLiteral("\"clock\" must be \"sync\", \"minute\" or \"YYYY-MM-DD HH:MM\""));
        if (text == "sync") {
            board.clock = ClockMode::Sync;
        } else if (text == "minute") {
            board.clock = ClockMode::Minute;
        } else {
            QString reason;
            const std::optional<QDateTime> at = BoardTime(text, &reason);
            if (!at)
                return Fail(where, QStringLiteral("\"clock\" ") + reason);
            board.clock = ClockMode::Set;
            board.clockSetTo = *at;
        }
        return true;
    }

    // One entry of "boards" over the defaults: one board for each of its addresses.
    bool Board(const QString& where, const QJsonObject& defaults, const QJsonObject& own,
               std::vector<ManifestBoard>& boards) {
        QJsonObject o = defaults;
        for (auto it = own.begin(); it != own.end(); ++it)
            o.insert(it.key(), it.value());
        ManifestBoard board;
        if (!Link(where, o, board.link))
            return false;
        if (!o.contains("port"))
            return Fail(where, QStringLiteral("needs \"port\""));
        if (!o.contains("address"))
            return Fail(where, QStringLiteral("needs \"address\""));
        if (o.contains("config")) {
            const QJsonValue v = o.value("config");
            if (!v.isString() || v.toString().isEmpty())
                return Fail(where, QStringLiteral("\"config\" must name a configuration file"));
            board.config = FileAt(v.toString());
        }
        if (o.contains("page") && !Page(where, o.value("page"), board))
            return false;
        if (o.contains("graphics") && !Graphics(where, o.value("graphics"), board))
            return false;
        if (o.contains("clock") && !Clock(where, o.value("clock"), board))
            return false;
        if (board.config.isEmpty() && !board.page && board.graphics.empty() && !board.clock)
            return Fail(where,
                        QStringLiteral("gives the board nothing: name \"config\", \"page\", \"graphics\" "
                                       "or \"clock\""));
        const std::optional<std::vector<int>> addresses = Addresses(where, o.value("address"));
        if (!addresses)
            return false;
        for (int address : *addresses) {
            board.link.address = address;
            boards.push_back(board);
        }
        return true;
    }
};

bool KnownKeys(Parser& p, const QString& where, const QJsonObject& o) {
    for (const QString& key : o.keys())
        if (!BoardKeys.contains(key))
            return p.Fail(where, QStringLiteral("no such key \"%1\"").arg(key));
    return true;
}

} // namespace

std::optional<std::vector<ManifestBoard>> ParseManifest(const QByteArray& json, const QString& folder,
                                                        QString* why) {
    Parser p{folder, {}};
    const auto fail = [&](const QString& reason) -> std::optional<std::vector<ManifestBoard>> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (json.size() > MaxManifestBytes)
        return fail(QStringLiteral("the manifest is larger than %1 bytes").arg(MaxManifestBytes));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return fail(QStringLiteral("not JSON at byte %1: %2").arg(error.offset).arg(error.errorString()));
    if (!doc.isObject())
        return fail(QStringLiteral("the manifest must be a JSON object with \"boards\""));
    const QJsonObject top = doc.object();
    for (const QString& key : top.keys())
        if (key != "boards" && key != "defaults")
            return fail(
                QStringLiteral("no such key \"%1\" (the manifest has \"boards\" and \"defaults\")").arg(key));
    const QJsonValue defaultsValue = top.value("defaults");
    if (!defaultsValue.isUndefined() && !defaultsValue.isObject())
        return fail(QStringLiteral("\"defaults\" must be an object"));
    const QJsonObject defaults = defaultsValue.toObject();
    if (!KnownKeys(p, QStringLiteral("defaults"), defaults))
        return fail(p.error);
    if (defaults.contains("address"))
        return fail(QStringLiteral("defaults: \"address\" belongs to each board"));
    const QJsonValue list = top.value("boards");
    if (!list.isArray() || list.toArray().isEmpty())
        return fail(QStringLiteral("\"boards\" must list at least one board"));

    std::vector<ManifestBoard> boards;
    const QJsonArray entries = list.toArray();
    for (qsizetype k = 0; k < entries.size(); ++k) {
        const QString where = QStringLiteral("boards[%1]").arg(k);
        if (!entries[k].isObject())
            return fail(where + QStringLiteral(": must be an object"));
        if (!KnownKeys(p, where, entries[k].toObject()) ||
            !p.Board(where, defaults, entries[k].toObject(), boards))
            return fail(p.error);
        if (int(boards.size()) > MaxBoards)
            return fail(QStringLiteral("at most %1 boards in one run").arg(MaxBoards));
    }
    // A board twice would be written twice, at once from two threads when its port is named
    // in two ways; the same spelling is caught here, the same device by the fleet.
    std::set<std::tuple<int, QString, int>> seen;
    for (const ManifestBoard& b : boards) {
        const auto key = std::tuple{b.link.portIndex.value_or(-1), b.link.portPath, *b.link.address};
        if (!seen.insert(key).second)
            return fail(QStringLiteral("board %1 at address %2 is listed twice")
                            .arg(b.link.portGiven)
                            .arg(*b.link.address));
    }
    return boards;
}

std::vector<Options> ManifestSteps(const ManifestBoard& board, const Options& common) {
    std::vector<Options> steps;
    const auto step = [&](Command command, const QStringList& args) -> Options& {
        Options o;
        o.command = command;
        o.args = args;
        o.link = board.link;
        o.fast = common.fast;
        o.json = common.json;
        o.keepPage = false;
        steps.push_back(o);
        return steps.back();
    };
    if (!board.config.isEmpty()) {
        step(Command::Write, {board.config});
        step(Command::Verify, {board.config});
    }
    if (board.page) {
        Options& page =
            step(Command::Page, QStringList{QString::number(board.page->number)} + board.page->lines);
        page.name = board.page->name;
    }
    for (const ManifestGraphic& g : board.graphics)
        step(Command::Graphic, {QString::number(g.slot), g.file});
    if (board.clock) {
        Options& clock = step(Command::Clock, {});
        clock.clock = *board.clock;
        clock.setTo = board.clockSetTo;
    }
    return steps;
}

} // namespace kx9::cli
