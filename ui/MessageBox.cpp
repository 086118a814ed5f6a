#include "ui/MessageBox.h"

#include <QMessageBox>

namespace ui {
namespace {

BoxPresenter& Presenter()
{
    static BoxPresenter presenter;
    return presenter;
}

} // namespace

void ShowMessage(QWidget* parent, const QString& text)
{
    if (Presenter()) {
        Presenter()({kAppTitle, text, false});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

bool Ask(QWidget* parent, const QString& title, const QString& text)
{
    if (Presenter())
        return Presenter()({title, text, true});
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void SetBoxPresenter(BoxPresenter presenter)
{
    Presenter() = std::move(presenter);
}

} // namespace ui
