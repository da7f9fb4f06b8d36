#pragma once
// The ordered task list. Position i is row i of the main window, the profile section "Item<i>"
// and the priority of a waiting task. The list owns its tasks and keeps the stored sections
// contiguous (Item0 .. Count-1, "Count" in section "Project") across add, remove and move.
// UI thread only.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "task/CBackupItem.h"

namespace vw {

class ProfileStore;
struct AppSettings;

class CBackupItemList {
public:
    using Tasks = std::vector<std::unique_ptr<CBackupItem>>;

    CBackupItemList(ProfileStore& profile, const AppSettings& settings);
    CBackupItemList(const CBackupItemList&) = delete;
    CBackupItemList& operator=(const CBackupItemList&) = delete;

    // Reads every stored task. A damaged profile never costs a task: a section with a missing
    // or wrong "Index" is taken as the task at its position and its "Index" rewritten; a missing
    // section is skipped and the tasks after it are stored one position up, with "Count"
    // corrected. False only when such a repair could not be written; the tasks read stay listed.
    // Without `repair` nothing is written: the tasks are listed as a repairing load would list them.
    bool LoadAll(bool repair = true);
    // A new task named "任务<k>" with a fresh Id, not yet listed or stored: the caller fills it in
    // and hands it to Append.
    std::unique_ptr<CBackupItem> MakeNew();
    // Stores the task whole at the end of the list and lists it; nullptr when it could not be
    // stored (the list is then unchanged, and so is every stored task).
    CBackupItem* Append(std::unique_ptr<CBackupItem> task);
    // A new task being set up in the editor: listed at the end, not stored. StoreNew stores it whole
    // and counts it (false: not stored, still listed); DropNew takes it off the list. Nothing of a
    // dropped or failed one is ever counted.
    CBackupItem& ListUnstored(std::unique_ptr<CBackupItem> task);
    bool StoreNew(CBackupItem& task);
    void DropNew(CBackupItem& task);
    // Append(MakeNew()).
    CBackupItem* AddNew();
    // Deletes the task and moves the tasks after it up one section each. Timers are the
    // window's business: kill the task's timer before calling this.
    bool Remove(CBackupItem& task);
    // Exchanges the tasks at two positions and rewrites both sections. However the writes end, each
    // task stays whole in at least one section; after a failed write the list takes the order the
    // profile then loads in.
    bool Swap(int a, int b);
    // One registry write; false when it failed.
    using ProfileWrite = std::function<bool()>;
    // The writes Swap(a, b) makes, in order (positions valid and different). Any prefix of them
    // leaves a profile that loads every task once.
    std::vector<ProfileWrite> SwapWrites(int a, int b) const;
    CBackupItem* FindByTimerId(int32_t timerId) const;
    // False when a task already has this name, compared without regard to case.
    bool IsNameUnique(const std::wstring& name) const;
    void DeleteAll();

    size_t size() const { return tasks_.size(); }
    bool empty() const { return tasks_.empty(); }
    CBackupItem& operator[](size_t position) const { return *tasks_[position]; }
    Tasks::const_iterator begin() const { return tasks_.begin(); }
    Tasks::const_iterator end() const { return tasks_.end(); }

private:
    std::unique_ptr<CBackupItem> CreateTask();
    std::wstring MakeId() const;
    bool WriteCount();
    void FollowStoredOrder();

    ProfileStore& profile_;
    const AppSettings& settings_;
    Tasks tasks_;
    // Window timer ids are never reused during a program run, not even for a reloaded list.
    int32_t nextTimerId_ = 10001;
};

}  // namespace vw
