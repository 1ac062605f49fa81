#include "ui/ProgressDlg.h"

#include <algorithm>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CProgressDlg::CProgressDlg(QWidget* parent)
    : QDialog(parent), m_text(new QLabel), m_bar(new QProgressBar), m_layout(new QVBoxLayout(this))
{
    // No close box: the window goes when the operation ends, not before.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Wysyłanie wiadomości"));
    setModal(false);
    m_text->setObjectName(QStringLiteral("ProgressText"));
    m_text->setMinimumWidth(320);
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_layout->setContentsMargins(14, 14, 14, 14);
    m_layout->setSpacing(10);
    m_layout->addWidget(m_text);
    m_layout->addWidget(m_bar);
    m_layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CProgressDlg::SetText(const QString& text)
{
    m_text->setText(text);
    m_text->repaint();
}

void CProgressDlg::SetRange(int upper)
{
    m_bar->setRange(0, std::max(upper, 0));
    m_bar->repaint();
}

void CProgressDlg::SetStep(int step)
{
    m_step = step;
}

void CProgressDlg::StepIt()
{
    SetPos(m_bar->value() + m_step);
}

void CProgressDlg::SetPos(int pos)
{
    m_bar->setValue(std::clamp(pos, m_bar->minimum(), m_bar->maximum()));
    m_bar->repaint();
}

QString CProgressDlg::GetText() const
{
    return m_text->text();
}

int CProgressDlg::GetPos() const
{
    return m_bar->value();
}

int CProgressDlg::GetUpper() const
{
    return m_bar->maximum();
}

void CProgressDlg::AddDisabledButton(const QString& text)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QStringLiteral("ProgressButton"));
    button->setEnabled(false);
    button->setAutoDefault(false);
    m_layout->addWidget(button, 0, Qt::AlignHCenter);
    button->show();
    button->repaint();
}

void CProgressDlg::AddStopButton(const QString& text)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QStringLiteral("StopButton"));
    button->setAutoDefault(false);
    m_layout->addWidget(button, 0, Qt::AlignHCenter);
    button->show();
    m_stop = std::make_unique<CStopButton>(button);
    button->repaint();
}
