#include "ui/controls/AddressListCtrl.h"

#include <algorithm>
#include <array>

#include <QKeyEvent>
#include <QPainter>

#include "app/qt/TextCodec.h"
#include "store/AddressBook.h"
#include "store/Windows1250.h"

namespace {

// A sort rank per Windows-1250 byte after lower-casing: accented Polish letters come right after
// their plain letter, as a Polish reader expects, instead of after "z".
std::array<int, 256> MakeRanks()
{
    std::array<int, 256> ranks{};
    for (int b = 0; b < 256; ++b)
        ranks[b] = b * 4 + (b > 'z' ? 2000 : 0);
    const std::pair<unsigned char, char> accented[] = {
        {0xB9, 'a'}, {0xE6, 'c'}, {0xEA, 'e'}, {0xB3, 'l'},
        {0xF1, 'n'}, {0xF3, 'o'}, {0x9C, 's'}, {0x9F, 'z'},
    };
    for (const auto& [byte, base] : accented)
        ranks[byte] = static_cast<unsigned char>(base) * 4 + 1;
    ranks[0xBF] = 'z' * 4 + 2; // "ż" after "ź"
    return ranks;
}

const std::array<int, 256>& Ranks()
{
    static const std::array<int, 256> ranks = MakeRanks();
    return ranks;
}

unsigned char LowerByte(unsigned char c)
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const std::string one(1, static_cast<char>(b));
            t[b] = static_cast<unsigned char>(windows1250::ToLower(one)[0]);
        }
        return t;
    }();
    return table[c];
}

} // namespace

bool DisplayNameLess(const CAddress& a, const CAddress& b)
{
    const std::string& x = a.GetDisplayName();
    const std::string& y = b.GetDisplayName();
    const auto& ranks = Ranks();
    const std::size_t n = std::min(x.size(), y.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int rx = ranks[LowerByte(static_cast<unsigned char>(x[i]))];
        const int ry = ranks[LowerByte(static_cast<unsigned char>(y[i]))];
        if (rx != ry)
            return rx < ry;
    }
    if (x.size() != y.size())
        return x.size() < y.size();
    return x < y;
}

namespace {

// An address card: a head and shoulders beside lines of text, drawn at each size it is shown at.
QPixmap DrawAddressCard(int size)
{
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    painter.setPen(QPen(QColor(70, 70, 90), unit * 0.8));
    painter.setBrush(QColor(255, 250, 225));
    painter.drawRoundedRect(QRectF(unit * 0.5, unit * 2.5, unit * 15, unit * 11), unit, unit);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 90, 170));
    painter.drawEllipse(QRectF(unit * 2.5, unit * 4.5, unit * 3.5, unit * 3.5));
    painter.drawChord(QRectF(unit * 1.5, unit * 8.5, unit * 5.5, unit * 6), 0, 180 * 16);
    painter.setBrush(QColor(110, 110, 130));
    for (int line = 0; line < 3; ++line)
        painter.drawRect(QRectF(unit * 8, unit * (5 + line * 2.5), unit * 6, unit * 1));
    return picture;
}

} // namespace

QIcon AddressIcon()
{
    static const QIcon icon = [] {
        QIcon made;
        made.addPixmap(DrawAddressCard(16));
        made.addPixmap(DrawAddressCard(32));
        return made;
    }();
    return icon;
}

CAddressModel::CAddressModel(const CAddressBook& book, NumberForm form, QObject* parent)
    : CReportModel({QStringLiteral("Nazwa"), QStringLiteral("Telefon")}, AddressIcon(), parent), m_book(book),
      m_form(form)
{
}

int CAddressModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

CAddress* CAddressModel::EntryAtPlace(std::uint32_t place) const
{
    const AddressArray& entries = m_book.GetEntries();
    return place < entries.size() ? entries[place].get() : nullptr;
}

bool CAddressModel::Less(std::uint32_t a, std::uint32_t b) const
{
    const CAddress* x = EntryAtPlace(a);
    const CAddress* y = EntryAtPlace(b);
    if (!x || !y)
        return x == nullptr && y != nullptr;
    return DisplayNameLess(*x, *y);
}

void CAddressModel::Fill()
{
    beginResetModel();
    const std::size_t count = m_book.GetEntries().size();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_rows.reserve(count);
    for (std::size_t place = 0; place < count; ++place)
        m_rows.push_back(static_cast<std::uint32_t>(place));
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return Less(a, b); });
    endResetModel();
}

void CAddressModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

std::optional<std::size_t> CAddressModel::PlaceOf(const CAddress* entry) const
{
    const AddressArray& entries = m_book.GetEntries();
    const std::size_t count = entries.size();
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t place = (m_hint + step) % count;
        if (entries[place].get() == entry) {
            m_hint = place;
            return place;
        }
    }
    return std::nullopt;
}

int CAddressModel::Add(const CAddress* entry)
{
    const auto place = PlaceOf(entry);
    if (!place)
        return -1;
    const auto value = static_cast<std::uint32_t>(*place);
    const auto at = std::upper_bound(m_rows.begin(), m_rows.end(), value,
                                     [this](std::uint32_t a, std::uint32_t b) { return Less(a, b); });
    const int row = static_cast<int>(at - m_rows.begin());
    beginInsertRows({}, row, row);
    m_rows.insert(at, value);
    endInsertRows();
    return row;
}

void CAddressModel::RemoveRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void CAddressModel::EntryDeleted(std::size_t place)
{
    for (std::uint32_t& row : m_rows) {
        if (row > place)
            --row;
    }
    m_hint = 0;
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 1));
}

void CAddressModel::Resort()
{
    beginResetModel();
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return Less(a, b); });
    endResetModel();
}

CAddress* CAddressModel::EntryAt(int row) const
{
    return row >= 0 && row < rowCount() ? EntryAtPlace(m_rows[static_cast<std::size_t>(row)]) : nullptr;
}

int CAddressModel::RowOf(const CAddress* entry) const
{
    const auto place = PlaceOf(entry);
    if (!place)
        return -1;
    const auto found = std::find(m_rows.begin(), m_rows.end(), static_cast<std::uint32_t>(*place));
    return found == m_rows.end() ? -1 : static_cast<int>(found - m_rows.begin());
}

std::vector<CAddress*> CAddressModel::GetEntries() const
{
    std::vector<CAddress*> entries;
    for (std::uint32_t place : m_rows) {
        if (CAddress* entry = EntryAtPlace(place))
            entries.push_back(entry);
    }
    return entries;
}

QString CAddressModel::Text(int row, int column) const
{
    const CAddress* entry = EntryAt(row);
    if (!entry)
        return {};
    if (column == 0)
        return text_codec::ToQString(entry->GetDisplayName());
    if (m_form == NumberForm::Parts)
        return text_codec::ToQString(entry->GetCountryPrefix() + " " + entry->GetOperatorCode() + " " +
                                     entry->GetSubscriberNumber());
    return text_codec::ToQString(entry->GetFullNumber());
}

CAddressListCtrl::CAddressListCtrl(QWidget* parent) : CReportListCtrl(parent) {}

bool CAddressListCtrl::IgnoresKey(const QKeyEvent& event) const
{
    if (event.key() == Qt::Key_F && event.modifiers() == Qt::ControlModifier)
        return false;
    const QString text = event.text();
    return !text.isEmpty() && text[0].isPrint();
}
