#pragma once

#include "logo/Lamp.hpp"

namespace plinkora {

/// Delivers commands to the helper's pipe. Called on the main thread only; never blocks.
class PipeWriter {
public:
    virtual ~PipeWriter() = default;

    /// Queues `command`'s line; lines reach the pipe in the order they were queued.
    virtual void write(Lamp command) = 0;
};

} // namespace plinkora
