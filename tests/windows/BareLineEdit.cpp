// A bare Qt program, none of our code: one line edit at its own height in Qt's default font. Under
// Wine on a virtual display it shows that a line edit whose text is not drawn is Wine's and Qt's
// doing, not our windows': Wine names "MS Shell Dlg" as the dialog font, which Qt's Windows font
// database does not resolve, and the font Qt takes instead (the math font of fonts-dejavu-extra)
// has glyph boxes too tall for the edit, which centres its text out of sight.
//   torvan_bare_line_edit drawn|empty    exit 0 when the text is as expected, 1 when not
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QTest>
#include <cstdio>

#include "Drawn.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString expected = argc > 1 ? argv[1] : "";
    QLineEdit edit("Edit text");
    edit.show();
    if (!QTest::qWaitForWindowExposed(&edit))
        return 1;
    const bool drawn = Drawn(&edit);
    const QFontInfo font(edit.font());
    std::printf("The dialog font %s, as Qt resolves it %s, %d pixels high: the text is %s.\n",
                qPrintable(edit.font().family()), qPrintable(font.family()), font.pixelSize(),
                drawn ? "drawn" : "not drawn");
    return expected == (drawn ? "drawn" : "empty") ? 0 : 1;
}
