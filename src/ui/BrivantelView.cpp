#include "ui/BrivantelView.h"

#include "ui/SendMessageView.h"

CBrivantelView::CBrivantelView(CBrivantelDoc& document, int kind, QWidget* parent)
    : QWidget(parent), m_document(document), m_kind(kind)
{
}

CEmptyFormView::CEmptyFormView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CBrivantelView(document, kind, parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
}

std::unique_ptr<CBrivantelView> CreateView(CBrivantelDoc& document, int kind, QWidget* parent)
{
    switch (kind) {
    case 1000:
        return std::make_unique<CSendMessageView>(document, kind, parent);
    // The views of the folders, the address book, the mailbox watch and the settings take their
    // places here as they are written.
    default:
        return std::make_unique<CEmptyFormView>(document, kind, parent);
    }
}
