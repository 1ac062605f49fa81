#include "ui/ProgressDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent), m_text(new QLabel), m_bar(new QProgressBar)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(false);
    m_text->setMinimumWidth(320);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
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
