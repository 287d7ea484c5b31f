// SPDX-License-Identifier: MIT
#include "Render.h"

#include "Commands.h"
#include "config/PageLayout.h"
#include "config/SlotFiles.h"
#include "ops/DotMatrix.h"
#include "render/DisplayRender.h"
#include "render/ImageSource.h"
#include "render/Overflow.h"

#include <QSaveFile>
#include <algorithm>

namespace kx9::cli {

namespace {

constexpr int DotPitch = 6; // as the board view draws a display of this size by default

} // namespace

Outcome RenderPage(Session& s) {
    const QStringList& a = s.options.args;
    ConfigImage image;
    if (const QString why = LoadConfig(a[0], image); !why.isEmpty()) {
        s.dialogs.Report(why);
        return {BadUsage, {}, {}};
    }
    const std::optional<int> page = NumberIn(a[1], 0, render::LastPage);
    const QString why = !page ? QStringLiteral("render: PAGE must be 0..124") : OutputFileProblem(a[2]);
    if (!why.isEmpty()) {
        s.dialogs.Report(why);
        return {BadUsage, {}, {}};
    }

    render::ImageSource source(image);
    QString picture;
    if (*page >= render::FirstGraphicPage) {
        const int slot = *page - render::FirstGraphicPage;
        picture = LoadSlotFiles()[size_t(slot)];
        dots::Matrix matrix{};
        if (!picture.isEmpty() && PictureProblem(picture).isEmpty()) {
            const QSize size = dots::GraphicSize(image.Reg(RegBoardSize), image.Reg(RegLineLength));
            dots::PackDots(dots::DrawToBoard(dots::LoadPicture(picture, size), size), matrix);
        } else {
            s.dialogs.Report(picture.isEmpty()
                                 ? QStringLiteral("Strona %1 nie ma przypisanej grafiki.").arg(*page)
                                 : PictureProblem(picture));
        }
        source.SetGraphic(slot, QByteArray(reinterpret_cast<const char*>(matrix.data()), int(matrix.size())));
    }

    render::DotFrame frame;
    render::ComposePage(source, *page, {}, frame);
    render::DotRenderer renderer(DotPitch);
    const QImage& shot = renderer.Paint(frame);
    QSaveFile out(a[2]);
    if (shot.isNull() || !out.open(QIODevice::WriteOnly) || !shot.save(&out, "PNG") || !out.commit()) {
        s.dialogs.Report(QStringLiteral("Nie można zapisać pliku: ") + a[2] + QStringLiteral(": ") +
                         out.errorString());
        return {BoardFailed, {}, {}};
    }

    int cut = 0;
    if (*page < PageCount)
        cut = render::MeasureOverflow(layout::PageToLines(image.pages[size_t(*page)], image.Reg(RegBoardSize),
                                                          image.Reg(RegLineLength)),
                                      source)
                  .cut;
    QString text = QStringLiteral("%1: strona %2, %3 x %4 pikseli")
                       .arg(a[2])
                       .arg(*page)
                       .arg(shot.width())
                       .arg(shot.height());
    if (cut > 0)
        text += QStringLiteral(", obcięte znaki: %1").arg(cut);
    QJsonObject json{
        {"file", a[2]}, {"page", *page}, {"width", shot.width()}, {"height", shot.height()}, {"cut", cut}};
    return {Done, text + QLatin1Char('\n'), json};
}

} // namespace kx9::cli
