// The application object. It is the one place where an error that escapes an
// event handler is caught: the handler ends, the default error display shows
// the message, and the message loop goes on.
#pragma once

#include <QApplication>

class QuarnelApplication : public QApplication
{
    Q_OBJECT

public:
    QuarnelApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
