// The task list: the five groups with their items, one per page. Choosing an
// item (a click released on it, Enter or Space on it, or moving onto it with
// the keys) emits `chosen`; a click on a group's caption opens or closes it.
#pragma once

#include <QTreeWidget>

#include <vector>

namespace eklz::app {

struct Page;

class TaskList : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TaskList(QWidget* parent = nullptr);

  // Marks `page` as the current item without choosing it again: keyboard
  // use then starts from it.
  void ShowCurrent(const Page& page);
  // Whether the group at `group` (index into TaskGroups()) is open.
  bool GroupExpanded(size_t group) const;
  void SetGroupExpanded(size_t group, bool expanded);
  size_t GroupCount() const { return groupItems_.size(); }

 signals:
  void chosen(const eklz::app::Page* page);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The page of `item`, nullptr for a group.
  const Page* PageOf(const QTreeWidgetItem* item) const;

  std::vector<QTreeWidgetItem*> groupItems_;
  bool pressed_ = false;         // a mouse button is down on the list
  bool showingCurrent_ = false;  // the list is being set to the chosen item
};

}  // namespace eklz::app
