#pragma once

#include <QString>
#include <compare>
#include <optional>
#include <utility>
#include <vector>

namespace plinkora {

/// A release version as the update feed writes it: dot-separated decimal numbers ("1.10.2").
///
/// Versions compare component by component as numbers, a missing component counting as 0, so
/// "1.10" is newer than "1.9" and "1.2" equals "1.2.0".
class UpdateVersion {
public:
    /// Components have at most nine digits and there are at most eight of them; anything else
    /// (letters, empty components, signs, spaces) is not a version.
    static std::optional<UpdateVersion> parse(const QString& text);

    /// Version 0, older than every release.
    UpdateVersion() = default;

    std::strong_ordering operator<=>(const UpdateVersion& other) const;
    bool operator==(const UpdateVersion& other) const {
        return (*this <=> other) == std::strong_ordering::equal;
    }

    QString text() const { return text_; }

private:
    UpdateVersion(QString text, std::vector<unsigned> components)
        : text_(std::move(text))
        , components_(std::move(components)) {}

    QString text_ = QStringLiteral("0");
    std::vector<unsigned> components_;
};

} // namespace plinkora
