#pragma once
// How a step of an installation run stops the run: everything worth telling is logged (and
// reported) where it happened, then the step throws StepFailed and the run's top ends it.

struct StepFailed {};

[[noreturn]] inline void FailStep() { throw StepFailed{}; }
