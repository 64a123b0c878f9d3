// Where the program's failures and their reasons go for support: standard
// error with --verbose, and the diagnostics window's log.
#pragma once

#include "platform/failure_record.h"

class CRemoconDlg;

// "tavrocam: failed: TIME WHAT: WHY", one line each.
[[nodiscard]] platform::CFailureRecorder::Subscription PrintFailures();

// Each failure as a line of the panel's log, the one before the panel
// existed first; the panel may go before the subscription ends.
[[nodiscard]] platform::CFailureRecorder::Subscription LogFailuresInPanel(CRemoconDlg& panel);
