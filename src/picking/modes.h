// The state of a mode, as one object each: the pick (the cursors a task
// places on one spectrum) and the work a command leaves to be committed (a
// preview, with the identity of each spectrum it was made on). Whatever
// starts, ends, follows or gives up a mode reads and resets these, never a
// list of flags.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "TYPEKIVO1_3.h"
#include "simulation.h"

// What the point picking does when its last cursor is accepted. The numbers
// are also the codes of the treatment notes made through the picking.
enum Task : uint16_t {
    NoTask = 0,
    TaskBaseLine = 11,
    TaskRestriction = 12,
    TaskNormComponent = 124,
    TaskAlignComponent = 128,
    TaskIntegration = 151,
    TaskCentre = 153,
    TaskRuby = 161,
    TaskMn2 = 162,
    TaskMn3 = 163,
    TaskMn4 = 164,
    TaskMeasure = 168,
    TaskFieldStandard = 169,
    TaskFitLines = 170,
    TaskPeakToPeak = 171,
    TaskSimFit = 172,
    TaskDeletePoints = 1611,
};
inline bool IsReferenceTask(int task) {
    return task >= TaskRuby && task <= TaskMn4;
}

struct PickMode {
    Task TaskCode = NoTask; // what the point picking does when it completes
    int16_t PickCount = 2;  // cursors to place, 2 or 4
    uint16_t PickNo = 1;    // the cursor being placed
    // The cursors: point numbers of the spectrum with the identity PickSpec
    // (0: no cursors placed), or levels when PointCursor is off.
    kivo::SlotArray<int32_t, 5> PickIndex;
    kivo::SlotArray<double, 4> PickLevel;
    uint32_t PickSpec = 0;
    bool PointCursor = true; // the cursors walk the points (not levels)
    int16_t CursorStep = 10;
    QString PickedNumbersText, PickedValuesText; // what the read-outs show
    // A task with count cursors begins, the cursor `first` placed first.
    void Start(Task task, int count, int first) {
        TaskCode = task;
        PickCount = static_cast<int16_t>(count);
        PickNo = static_cast<uint16_t>(first);
    }
    // The task ends; the cursors stay where they stood.
    void End() {
        TaskCode = NoTask;
        PointCursor = true;
        PickedNumbersText.clear();
        PickedValuesText.clear();
    }
};

struct PendingWork {
    bool BaseLineMode = false;      // SavedX/SavedY hold a base-line correction to commit
    bool RestrictPending = false;   // a restriction to the cursors' range
    bool CompactPending = false;    // a deletion: the slots close up
    bool SubtrInput = false;        // the mode line collects the subtraction factor
    bool SmoothEntry = false;       // the mode line collects the smoothing numbers
    bool RestrictNumberDue = false; // the second smoothing number is awaited
    uint16_t KeepCount = 0;         // slots that survive a deletion
    // The spectra the last preview (base line, subtraction, restriction) was
    // computed from: per slot the identity it had then, 0 where it was not
    // previewed; and the spectrum the others are measured against (the base
    // of a subtraction, the spectrum a restriction was picked on). A commit
    // writes only into a slot that still holds that spectrum and is marked.
    kivo::SlotArray<uint32_t> PreviewFrom;
    uint32_t PreviewRef = 0;
    QString PreviewNotice; // what the preview could not do, said again by the commit

    // A base line, restriction, subtraction or smoothing waits to be committed.
    bool Any() const { return BaseLineMode || RestrictPending || SubtrInput || SmoothEntry; }
    bool AnyPreviewed() const {
        for (int i = 1; i <= kivo::MaxSpec; ++i)
            if (PreviewFrom[i] != 0) return true;
        return false;
    }
    void ClearPreview() {
        PreviewFrom = {};
        PreviewRef = 0;
        PreviewNotice.clear();
    }
    // Everything pending given up, as a failed command gives it up.
    void Drop() {
        BaseLineMode = RestrictPending = CompactPending = SubtrInput = SmoothEntry = false;
        RestrictNumberDue = false;
    }
};

// The simulation of a model over the active spectrum: the model as its
// values were stepped or fitted (the last one of the session, offered
// again), the value the arrows step, and the spectra its preview and its
// fit belong to, by identity.
struct SimulationMode {
    bool On = false;     // the simulation's keys are in force, its preview shown
    bool Loaded = false; // Model holds a model read in this session
    kivo::SimModel Model;
    QString ModelFile;
    int Chosen = 0;              // the value the arrows step, of kivo::TunableValues(Model)
    uint32_t Over = 0;           // the spectrum the preview was drawn (or refused) over
    std::vector<uint32_t> FitOf; // the spectra marked when the fit's cursors were asked for
    void End() {
        On = false;
        Over = 0;
        FitOf.clear();
    }
};
