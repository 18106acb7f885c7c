// Saves of several files that commit all of them or none: each file is
// written completely (through AtomicFile, as every file is) under a staging
// name beside its target, and only when every one is complete are they
// renamed over their targets, one after the other. A failure before that
// leaves every previous file as it was and no new one.
#pragma once

#include "core/base/status.h"

#include <QString>
#include <vector>

class StagedFileSet {
public:
    StagedFileSet() = default;
    ~StagedFileSet(); // staged files not committed are removed
    StagedFileSet(const StagedFileSet&) = delete;
    StagedFileSet& operator=(const StagedFileSet&) = delete;

    // The path to write target's new content to: a fresh name beside it
    // (same folder, so the final rename never copies). Empty, with the
    // reason in *status, when no name could be reserved there.
    QString Stage(const QString& target, Status* status);

    // Renames every staged file over its target, in the order staged. Only a
    // rename can fail here (it needs no free space); the message then says
    // which targets were already replaced.
    Status Commit();
    // The status of a write to a staged file as the user should read it:
    // naming the target, not the staging name.
    Status Named(const Status& status) const;
    // Removes the staged files; the targets stay as they were.
    void Cancel();

private:
    struct Entry {
        QString target;
        QString staged;
        unsigned mode; // the target's permissions, set at the rename
    };
    std::vector<Entry> m_entries;
};
