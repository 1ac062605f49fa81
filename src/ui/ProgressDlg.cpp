#include "ui/ProgressDlg.h"

#include <algorithm>

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent), m_text(new QLabel), m_bar(new QProgressBar)
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
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->setSizeConstraint(QLayout::SetFixedSize);
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
