#pragma once

#include <QUrl>
#include <QWebEnginePage>

// A page that hands every clicked link to the program instead of following it.
class BubblePage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit BubblePage(QObject *parent = nullptr);

signals:
    void linkClicked(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
};
