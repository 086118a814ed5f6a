#pragma once
#include <QWidget>

// A page of the tool window. On every way out the tool window first asks each page whether it
// may close, then calls OnClose before it deletes the page, so that no timer or worker outlives
// its page.
class ToolPage : public QWidget {
public:
    using QWidget::QWidget;
    // False when the user chose to keep the window open for a job the page runs.
    virtual bool MayClose() { return true; }
    virtual void OnClose() {}
    // Why the end of the user's session must wait for the page's job; empty when it need not.
    virtual QString SessionEndHold() const { return {}; }
};
