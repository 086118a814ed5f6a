#include "ui/MessageBox.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QScopeGuard>
#include <vector>

namespace ui {
namespace {

BoxPresenter& Presenter()
{
    static BoxPresenter presenter;
    return presenter;
}

// A question being asked: withdrawn once its reason went away.
struct OpenQuestion {
    const QWidget* parent;
    QMessageBox* box = nullptr; // none while a presenter answers
    bool withdrawn = false;
};

std::vector<OpenQuestion*>& OpenQuestions()
{
    static std::vector<OpenQuestion*> open;
    return open;
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

void TellLater(const QString& message)
{
    const QString sentence = message.left(1).toUpper() + message.mid(1) + ".";
    QMetaObject::invokeMethod(
        qApp, [sentence] { ShowMessage(nullptr, sentence); }, Qt::QueuedConnection);
}

bool Ask(QWidget* parent, const QString& title, const QString& text)
{
    OpenQuestion open{parent};
    OpenQuestions().push_back(&open);
    const auto asked = qScopeGuard([&] { std::erase(OpenQuestions(), &open); });
    if (Presenter())
        return Presenter()({title, text, true}) && !open.withdrawn;
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    open.box = &box;
    return box.exec() == QMessageBox::Yes && !open.withdrawn;
}

bool MayReplace(QWidget* parent, const QString& name, const QString& title, const QString& text)
{
    return !QFileInfo::exists(name) || Ask(parent, title, text);
}

void WithdrawQuestions(const QWidget* parent)
{
    for (OpenQuestion* open : OpenQuestions()) {
        if (open->parent != parent)
            continue;
        open->withdrawn = true;
        if (open->box)
            open->box->done(QMessageBox::No);
    }
}

void SetBoxPresenter(BoxPresenter presenter)
{
    Presenter() = std::move(presenter);
}

} // namespace ui
