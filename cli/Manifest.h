// SPDX-License-Identifier: MIT
#pragma once

#include "CliOptions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// A fleet manifest for `kx9ctl apply`: JSON that lists boards with what each one gets.
//
//   {"defaults": {"baud": 115200, "frame": "8N2", "config": "hall.cfg"},
//    "boards": [{"port": "/dev/ttyUSB0", "address": "1-3"},
//               {"port": "COM2", "address": 9, "config": "gate.cfg",
//                "page": {"number": 5, "name": "Witamy", "lines": ["Witamy", "w hali"]},
//                "graphics": [{"slot": 115, "file": "logo.png"}], "clock": "sync"}]}
//
// A board's keys override those of "defaults". "address" is a number, a list ("3,9,17",
// "1-12") or an array of numbers; a list makes one board of each address. File names are
// taken from the manifest's folder.
namespace kx9::cli {

struct ManifestPage {
    int number = 0;
    std::optional<QString> name;
    QStringList lines;
};

struct ManifestGraphic {
    int slot = 0; // as typed: 115..124 or 0..9
    QString file;
};

struct ManifestBoard {
    LinkChoice link; // port and address always set
    QString config;  // empty: no configuration written
    std::optional<ManifestPage> page;
    std::vector<ManifestGraphic> graphics;
    std::optional<ClockMode> clock; // Sync, Minute or Set
    QDateTime clockSetTo;
};

// The boards of the manifest, or nothing with `why` set. Checks the form only (keys, types,
// ranges, each board once, control characters in page text); files are not looked at.
std::optional<std::vector<ManifestBoard>> ParseManifest(const QByteArray& json, const QString& folder,
                                                        QString* why);

// The commands a board of the manifest gets, in order: write, verify, page, graphics, clock;
// each with the board's link settings.
std::vector<Options> ManifestSteps(const ManifestBoard& board, const Options& common);

} // namespace kx9::cli
