#include "app/TaskList.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>

#include <algorithm>

#include "app/Catalogue.h"

namespace eklz::app {

namespace {

constexpr int kItemRole = Qt::UserRole;  // catalogue index of an item, -1 for a group

// Items wrap onto more lines when the list is narrower than their caption:
// an item is as tall as its caption needs at the list's width.
class WrappingItemDelegate : public QStyledItemDelegate {
 public:
  explicit WrappingItemDelegate(QTreeView* view) : QStyledItemDelegate(view), view_(view) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    int depth = view_->rootIsDecorated() ? 1 : 0;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) ++depth;
    QStyleOptionViewItem at = option;
    // The style wraps the caption only within a valid rectangle.
    at.rect = QRect(0, 0, std::max(1, view_->viewport()->width() - depth * view_->indentation()),
                    std::max(1, at.rect.height()));
    return QStyledItemDelegate::sizeHint(at, index);
  }

 private:
  QTreeView* view_;
};

}  // namespace

TaskList::TaskList(QWidget* parent) : QTreeWidget(parent) {
  setObjectName("rzTaskList");
  setAccessibleName("Список команд");
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setExpandsOnDoubleClick(false);
  setWordWrap(true);
  setTextElideMode(Qt::ElideNone);
  setItemDelegate(new WrappingItemDelegate(this));
  for (const TaskGroup& g : TaskGroups()) {
    auto* item = new QTreeWidgetItem(this, {QString::fromUtf8(g.caption)});
    item->setData(0, kItemRole, -1);
    QFont bold = item->font(0);
    bold.setBold(true);
    item->setFont(0, bold);
    item->setFlags(Qt::ItemIsEnabled);
    groupItems_.push_back(item);
  }
  const auto& items = Catalogue();
  for (size_t i = 0; i < items.size(); ++i) {
    auto* item = new QTreeWidgetItem(groupItems_[items[i].group], {QString::fromUtf8(items[i].caption)});
    item->setData(0, kItemRole, static_cast<int>(i));
    item->setHidden(items[i].hidden);
  }
  expandAll();
  // Moving through the list with the keys chooses each item as a click
  // does; a mouse press leaves the choice to its release.
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!item || pressed_ || showingCurrent_) return;
    if (const Page* page = PageOf(item)) emit chosen(page);
  });
  viewport()->installEventFilter(this);
  installEventFilter(this);
}

const Page* TaskList::PageOf(const QTreeWidgetItem* item) const {
  const int index = item->data(0, kItemRole).toInt();
  return index >= 0 ? &Catalogue()[static_cast<size_t>(index)] : nullptr;
}

void TaskList::ShowCurrent(const Page& page) {
  for (QTreeWidgetItemIterator it(this); *it; ++it) {
    if (PageOf(*it) == &page && !(*it)->isHidden()) {
      showingCurrent_ = true;
      setCurrentItem(*it);
      showingCurrent_ = false;
      return;
    }
  }
}

bool TaskList::GroupExpanded(size_t group) const { return groupItems_[group]->isExpanded(); }

void TaskList::SetGroupExpanded(size_t group, bool expanded) { groupItems_[group]->setExpanded(expanded); }

bool TaskList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewport() && event->type() == QEvent::Resize) {
    // The items' heights follow the list's width.
    doItemsLayout();
  } else if (watched == viewport() && event->type() == QEvent::MouseButtonPress) {
    pressed_ = true;
  } else if (watched == viewport() && event->type() == QEvent::MouseButtonRelease) {
    pressed_ = false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    QTreeWidgetItem* item = itemAt(mouse->position().toPoint());
    if (item && mouse->button() == Qt::LeftButton) {
      if (const Page* page = PageOf(item)) {
        emit chosen(page);
      } else if (visualItemRect(item).contains(mouse->position().toPoint())) {
        item->setExpanded(!item->isExpanded());
      }
    }
  } else if (watched == this && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    QTreeWidgetItem* item = currentItem();
    if (item && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
      if (const Page* page = PageOf(item)) {
        emit chosen(page);
      } else {
        item->setExpanded(!item->isExpanded());
      }
      return true;
    }
  }
  return QTreeWidget::eventFilter(watched, event);
}

}  // namespace eklz::app
