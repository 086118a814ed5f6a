#include "ui/MessageBox.h"

#include <QMessageBox>

namespace ui {
namespace {

MessagePresenter& Presenter()
{
    static MessagePresenter presenter;
    return presenter;
}

} // namespace

void ShowMessage(QWidget* parent, const QString& text)
{
    if (Presenter()) {
        Presenter()(parent, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void SetMessagePresenter(MessagePresenter presenter)
{
    Presenter() = std::move(presenter);
}

} // namespace ui
