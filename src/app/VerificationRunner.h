#pragma once

// Verification of a design on a worker thread, so that the window never
// waits for ngspice. Each start hands over a copy of the design; a result
// that arrives after a later start is dropped, so what is shown always
// belongs to the design and the options asked for last.
//
// The yield (studies/Yield.h: the tolerance analysis' 500 runs, about half
// a second) follows as a second step, started once the verdict is shown,
// with the bias proposal where asked for; a later start, or Cancel, stops
// it at its next run, so that it never holds up the verdict of the next
// edit on the one analysis thread.

#include "studies/Verify.h"
#include "studies/Yield.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <optional>

namespace norvane {

struct VerificationOutcome {
    Verification m_Verification;
    // The capacitor values that would meet the requirements; asked for
    // only where the start wanted it and the design misses them.
    std::optional<TuningProposal> m_Tuning;
};

struct YieldOutcome {
    BuildYield m_Yield;
    // The proposal given to StartYield, with the divider where the yield
    // asks for one; nullopt when neither.
    std::optional<TuningProposal> m_Tuning;
};

class CVerificationRunner : public QObject {
    Q_OBJECT
public:
    explicit CVerificationRunner(QObject* parent = nullptr);

    void Start(std::shared_ptr<const AmplifierDesign> design, VerificationOptions options, bool withTuning);
    // The yield of the design of the last Start, and with withBias the bias
    // proposal added to tuning (the capacitors the verdict proposed).
    void StartYield(std::shared_ptr<const AmplifierDesign> design, VerificationOptions options,
                    std::optional<TuningProposal> tuning, bool withBias);
    // Forgets the pending start: its result will not be reported.
    void Cancel();
    bool IsRunning() const { return m_Running; }

Q_SIGNALS:
    void Finished(const norvane::VerificationOutcome& outcome);
    void YieldFinished(const norvane::YieldOutcome& outcome);

private:
    // Shared with the workers, which stop once it has moved on.
    std::shared_ptr<std::atomic<unsigned long long>> m_Generation =
        std::make_shared<std::atomic<unsigned long long>>(0);
    bool m_Running = false;
};

} // namespace norvane
