#include "ui/DeliveryColumn.h"

#include <ctime>

#include "store/Message.h"

std::string CDeliveryColumn::Key(const std::string& name, const std::string& text, std::int64_t filed)
{
    // The time first: it tells most copies apart before the texts are compared.
    std::string key = std::to_string(filed);
    key += '\0';
    key += name;
    key += '\0';
    key += text;
    return key;
}

void CDeliveryColumn::Load(const CMessageDb& db)
{
    m_states.clear();
    for (FiledDelivery& copy : db.AllDeliveries())
        m_states[Key(copy.name, copy.text, copy.filed)] = copy.state;
}

DeliveryState CDeliveryColumn::StateOf(const CMessage& message) const
{
    if (m_states.empty())
        return {};
    const auto it = m_states.find(Key(message.GetRecipients(), message.GetText(), message.GetTime()));
    return it == m_states.end() ? DeliveryState{} : it->second;
}

QString CDeliveryColumn::Text(const CMessage& message) const
{
    const DeliveryState state = StateOf(message);
    if (state.state == Delivery::None)
        return {};
    return Text(state, m_clock ? m_clock() : static_cast<std::int64_t>(std::time(nullptr)));
}

QString CDeliveryColumn::Text(const DeliveryState& state, std::int64_t now)
{
    switch (state.state) {
    case Delivery::None:
        return {};
    case Delivery::Pending:
        return QStringLiteral("Wysłano");
    case Delivery::Failed:
        return QStringLiteral("Nie doręczono");
    case Delivery::Delivered:
        break;
    }
    const QString delivered = QStringLiteral("Doręczono");
    // A report without the centre's time still says it arrived.
    const std::time_t at = static_cast<std::time_t>(state.at);
    const std::time_t today = static_cast<std::time_t>(now);
    std::tm when{};
    std::tm day{};
    if (state.at <= 0 || !localtime_r(&at, &when) || !localtime_r(&today, &day))
        return delivered;
    char text[32];
    const bool sameDay = when.tm_year == day.tm_year && when.tm_yday == day.tm_yday;
    const std::size_t length = std::strftime(text, sizeof text, sameDay ? "%H:%M" : "%d/%m/%Y %H:%M", &when);
    return delivered + QLatin1Char(' ') + QString::fromLatin1(text, static_cast<qsizetype>(length));
}
