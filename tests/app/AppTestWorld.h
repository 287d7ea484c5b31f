// SPDX-License-Identifier: MIT
#pragma once

#include "app/Startup.h"
#include "common/TestWorld.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace kx9::test {

// The whole program around the in-process board, started in a folder of its own so that
// "def.cfg" is whatever the test puts there.
struct AppWorld : InProcessSeams {
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    Program program{port, dialogs, clock};
    std::unique_ptr<Kx9App> app;

    AppWorld() {
        EXPECT_TRUE(dir.isValid());
        QDir::setCurrent(dir.path());
    }
    ~AppWorld() {
        app.reset();
        QDir::setCurrent(previousDir);
    }

    void start() { app = CreateApp(program); }
    TForm1& form() { return *app->form1; }
    ConfigImage& image() { return program.image; }
    QString path(const QString& name) const { return dir.filePath(name); }

    // What the window system sends when the main window comes to the front.
    void activate() {
        QEvent event(QEvent::WindowActivate);
        QCoreApplication::sendEvent(app->form1.get(), &event);
    }
    QString panel(int i) const { return app->form1->Panels[static_cast<size_t>(i)]->text(); }
};

} // namespace kx9::test
