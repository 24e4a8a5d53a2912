// Terms of the evaluation that stand on their own, shared with the tests.
#pragma once

// -40 when White's king stands sideways in front of its own rook on the first
// rank without having castled, +40 for Black likewise; both may apply.
int blocked_rook_term();
