#pragma once

// Verification of a design on a worker thread, so that the window never
// waits for ngspice. Each start hands over a copy of the design; a result
// that arrives after a later start is dropped, so what is shown always
// belongs to the design and the options asked for last.

#include "studies/Verify.h"

#include <QObject>

#include <memory>
#include <optional>

namespace norvane {

struct VerificationOutcome {
    Verification m_Verification;
    // The capacitor values that would meet the requirements; asked for
    // only where the start wanted it and the design misses them.
    std::optional<TuningProposal> m_Tuning;
};

class CVerificationRunner : public QObject {
    Q_OBJECT
public:
    explicit CVerificationRunner(QObject* parent = nullptr);

    void Start(std::shared_ptr<const AmplifierDesign> design, VerificationOptions options, bool withTuning);
    // Forgets the pending start: its result will not be reported.
    void Cancel();
    bool IsRunning() const { return m_Running; }

Q_SIGNALS:
    void Finished(const norvane::VerificationOutcome& outcome);

private:
    unsigned long long m_Generation = 0;
    bool m_Running = false;
};

} // namespace norvane
