#include "overlay/OverlayAccessible.hpp"

#include "overlay/OverlayGeometry.hpp"
#include "overlay/OverlayView.hpp"

#include <QCoreApplication>

namespace plinkora {

/// One zone: a button with no object of its own, answering for the view's area it covers.
class OverlayAccessible::Zone final : public QAccessibleInterface {
public:
    Zone(const OverlayAccessible& parent, int index)
        : parent_(parent)
        , index_(index) {}

    bool isValid() const override { return index_ < parent_.childCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent_.window(); }
    QAccessibleInterface* parent() const override {
        return const_cast<OverlayAccessible*>(&parent_);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QVector<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation) const override {
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override { return {}; }

    QString text(QAccessible::Text kind) const override {
        const std::vector<std::string> names = parent_.view_.scale().names();
        if (kind != QAccessible::Name || index_ >= static_cast<int>(names.size())) {
            return {};
        }
        return QCoreApplication::translate("OverlayAccessible", "Zone %1, %2")
            .arg(index_ + 1)
            .arg(QString::fromStdString(names[static_cast<std::size_t>(index_)]));
    }

    QRect rect() const override {
        const OverlayView& view = parent_.view_;
        const QRectF up = overlay::zoneFrame(index_, parent_.childCount(), view.width(),
                                             view.height(), view.orientation());
        const QRect local = overlay::flipped(up, view.height()).toAlignedRect();
        return {view.mapToGlobal(local.topLeft()), local.size()};
    }

private:
    const OverlayAccessible& parent_;
    int index_;
};

void OverlayAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory([](const QString&, QObject* object) -> QAccessibleInterface* {
            auto* view = qobject_cast<OverlayView*>(object);
            return view != nullptr ? new OverlayAccessible(*view) : nullptr;
        });
        return true;
    }();
    (void)installed;
}

OverlayAccessible::OverlayAccessible(OverlayView& view)
    : QAccessibleWidget(&view, QAccessible::Grouping)
    , view_(view) {}

OverlayAccessible::~OverlayAccessible() {
    for (QAccessibleInterface* zone : zones_) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(zone));
    }
}

int OverlayAccessible::childCount() const {
    return std::max(0, view_.scale().degrees);
}

QAccessibleInterface* OverlayAccessible::child(int index) const {
    if (index < 0 || index >= childCount()) {
        return nullptr;
    }
    while (static_cast<int>(zones_.size()) <= index) {
        auto* zone = new Zone(*this, static_cast<int>(zones_.size()));
        QAccessible::registerAccessibleInterface(zone);
        zones_.push_back(zone);
    }
    return zones_[static_cast<std::size_t>(index)];
}

int OverlayAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (int i = 0; i < childCount() && i < static_cast<int>(zones_.size()); ++i) {
        if (zones_[static_cast<std::size_t>(i)] == child) {
            return i;
        }
    }
    return -1;
}

QAccessibleInterface* OverlayAccessible::childAt(int x, int y) const {
    for (int i = 0; i < childCount(); ++i) {
        if (child(i)->rect().contains(x, y)) {
            return child(i);
        }
    }
    return nullptr;
}

QString OverlayAccessible::text(QAccessible::Text kind) const {
    return kind == QAccessible::Name
               ? QCoreApplication::translate("OverlayAccessible", "Plinkora note zones")
               : QAccessibleWidget::text(kind);
}

} // namespace plinkora
