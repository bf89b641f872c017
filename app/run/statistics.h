#pragma once

#include "runcontext.h"

namespace corvanta {

class IVerifier;

// part / whole as a whole-number percentage, rounded to the nearest with a
// half going to the even neighbour, and kept within 0..100 so that neither a
// display nor a progress bar ever receives a value outside it.
int WholePercent(double part, double whole);

// The outcome word of a code; codes outside 0..5 read as "Unknown".
QString OutcomeWord(qint32 code);

// The message shown for an outcome, built from the verifier's reply texts.
QString OutcomeMessage(qint32 code, IVerifier& verifier);

// Marks the row as being validated and brings it into view.
void MarkRowValidating(RunContext& ctx, qsizetype row);

// Stores code on the row and shows word and message with the good or bad mark.
void WriteRowResult(RunContext& ctx, qsizetype row, qint32 code, const QString& word,
                    const QString& message);

// Writes the outcome into the row, tells the context's sink and moves the
// counters, the percentage and the progress bar as one collected outcome.
// A row outside the report is counted but not written.
void RecordOutcome(RunContext& ctx, qsizetype row, const OutcomeRecord& outcome);

// Writes the outcome of a finished verifier into its row and moves the
// counters, the percentage and the progress bar. Returns false when nothing
// could be read (the verifier failed), in which case nothing was counted.
// fallbackRow is used when the verifier cannot say which row it worked on.
bool CollectOutcome(RunContext& ctx, IVerifier& verifier, qsizetype fallbackRow);

// With verdicts on, gives the row the verdict its code and replies earn: for
// outcomes recorded without a verifier to ask (restored from the journal,
// kept from the last check before a re-check that never came).
void JudgeRecordedOutcome(RunContext& ctx, qsizetype row, const OutcomeRecord& outcome);

// Shows a journal failure not told yet, without stopping what goes on.
void TellJournalFailure(RunContext& ctx);

// Puts the journal's outcomes of the list opened last back into the report
// (word, colour, icon, message, stored code) and counts them as collected.
void RestoreOutcomes(RunContext& ctx);

// Clears the run statistics and their labels and sets the start position
// back to 1. Called when the window loads and when a list is opened.
void ResetStatistics(RunContext& ctx);

// StartPosition := position (at least 1; the caller's value is corrected too)
// and the Position box shows it.
void SetStartPosition(RunContext& ctx, double& position);

// The text a number is shown with in a box: "1", "12.5".
QString PositionText(double position);

} // namespace corvanta
