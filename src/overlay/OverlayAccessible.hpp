#pragma once

#include <QAccessibleWidget>
#include <memory>
#include <vector>

namespace plinkora {

class OverlayView;

/// What a screen reader finds on the overlay: one element per zone, a button named with its
/// place and note ("Zone 1, C4"), where the zone lies. The names follow the scale as it
/// changes. Installed once for every overlay view by `install`.
/// Main thread only, as Qt's accessibility is.
class OverlayAccessible final : public QAccessibleWidget {
public:
    static void install();

    explicit OverlayAccessible(OverlayView& view);
    ~OverlayAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text kind) const override;

private:
    class Zone;

    OverlayView& view_;
    // Made on first asking and kept, as Qt expects of the interfaces it hands out.
    mutable std::vector<QAccessibleInterface*> zones_;
};

} // namespace plinkora
