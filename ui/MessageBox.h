#pragma once
#include <QString>
#include <functional>

class QWidget;

// Message boxes with an OK button and the application's title. Tests replace the presenter to
// read the texts instead of clicking boxes away.
namespace ui {

inline constexpr const char* kAppTitle = "TorvanReader";

void ShowMessage(QWidget* parent, const QString& text);

using MessagePresenter = std::function<void(QWidget* parent, const QString& text)>;
// An empty presenter restores the real message box.
void SetMessagePresenter(MessagePresenter presenter);

} // namespace ui
