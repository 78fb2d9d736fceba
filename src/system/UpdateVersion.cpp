#include "system/UpdateVersion.hpp"

namespace plinkora {

namespace {

constexpr qsizetype kMaxComponentDigits = 9;
constexpr std::size_t kMaxComponents = 8;

} // namespace

std::optional<UpdateVersion> UpdateVersion::parse(const QString& text) {
    std::vector<unsigned> components;
    unsigned component = 0;
    qsizetype digits = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'.') {
            if (digits == 0 || components.size() == kMaxComponents) {
                return std::nullopt;
            }
            components.push_back(component);
            component = 0;
            digits = 0;
            continue;
        }
        const char16_t c = text[i].unicode();
        // Only ASCII digits: QChar::isDigit would also take other scripts' digits.
        if (c < u'0' || c > u'9' || digits == kMaxComponentDigits) {
            return std::nullopt;
        }
        component = component * 10 + static_cast<unsigned>(c - u'0');
        ++digits;
    }
    return UpdateVersion(text, std::move(components));
}

std::strong_ordering UpdateVersion::operator<=>(const UpdateVersion& other) const {
    const std::size_t count = std::max(components_.size(), other.components_.size());
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned mine = i < components_.size() ? components_[i] : 0;
        const unsigned theirs = i < other.components_.size() ? other.components_[i] : 0;
        if (mine != theirs) {
            return mine <=> theirs;
        }
    }
    return std::strong_ordering::equal;
}

} // namespace plinkora
