#pragma once

namespace zelk {

// Connects the feed of both sources (RT App and RT Direct) to the run: the
// FeedMode run step, the traffic core's, the main loop's and the park
// airports' feed hooks, the batches' way into the engine's mailbox, and the
// close-down's reader, logout, cooldown and server members. Each hook serves
// the selected source.
void lf_installFeed();

} // namespace zelk
