// SPDX-License-Identifier: MIT
#pragma once

#include "Outcome.h"

#include <QString>

namespace kx9::cli {

// Runs the command of `session.options`: its checks before sending, then its runner.
Outcome Execute(Session& session);

// The runners of the commands of one board, on `session.options`, checked.
Outcome RunIdentify(Session& session);
Outcome RunRead(Session& session);
Outcome RunWrite(Session& session);
Outcome RunVerify(Session& session);
Outcome RunDump(Session& session);
Outcome RunDiff(Session& session);
Outcome RunPage(Session& session);
Outcome RunClock(Session& session);
Outcome RunStatus(Session& session);
Outcome RunGraphic(Session& session);

// The identification reply in the link's buffer is a KX9 board's.
bool Kx9Answered(const ModbusLink& link);

// Texts of a configuration file that cannot be loaded, as the program shows them.
QString BadFileText(const QString& path);

// What is wrong with the command before the board is asked anything: files that cannot be
// read or written, page text the board cannot show, a picture that does not load. Empty when
// nothing is; the command then ends with exit 2 and nothing sent.
QString Precheck(const Options& options);
QString PageTextProblem(const Options& options);
QString PictureProblem(const QString& file);

// Why a board with these geometry registers (4013, 4014) cannot have its pages or pictures
// laid out: no lines or more than five, lines of no characters, more than a page holds.
// Empty for a geometry a board can have.
QString GeometryProblem(int boardSizeCode, int lineLengthCode);

} // namespace kx9::cli
