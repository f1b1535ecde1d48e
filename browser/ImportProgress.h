// The window's box for a big import: how far reading and importing the file
// are. It shows only once a step has taken a moment, and while it is up it is
// modal (nothing else starts meanwhile, and Escape does not leave an import
// halfway) and lets the window paint.
#pragma once

#include "registry/regfile/ImportFile.h"

#include <QDialog>
#include <QElapsedTimer>

#include <string>

class QLabel;
class QProgressBar;

class ImportProgress : public QDialog
{
    Q_OBJECT

public:
    explicit ImportProgress(QWidget *parent);

    // A new step: what it does, and the part of the bar (0 to 100) it fills.
    void step(const std::string &text, int from, int to);
    // The step's progress as the registry layer tells it.
    quarnel::ImportProgress tracker();

protected:
    void reject() override {}

private:
    void advance(std::size_t done, std::size_t total);

    QLabel *m_label = nullptr;
    QProgressBar *m_bar = nullptr;
    QElapsedTimer m_sinceStep;
    QElapsedTimer m_sincePaint;
    int m_from = 0;
    int m_to = 100;
};
