#pragma once
#include <QWidget>

// A page of the tool window. The tool window calls OnClose on every way out, before it deletes
// the page, so that no timer or worker outlives its page.
class ToolPage : public QWidget {
public:
    using QWidget::QWidget;
    virtual void OnClose() {}
};
