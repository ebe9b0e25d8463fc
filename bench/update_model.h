#pragma once
// What a real product would spend on the commands an update sent: a model of a USB 2.0
// high-speed mass-storage link and of the product's flash, applied to the virtual product's
// wire trace. The benchmarks compare the tool's own time against it.

#include <cstddef>
#include <span>

#include "simulator/wire_trace.h"

namespace torvex::bench {

struct ProductCostModel {
    double command_round_trip_ms = 0.5;  // CBW + status phase of one SCSI command
    double transfer_mb_per_s = 30.0;     // effective bulk rate of the data phase
    double erase_ms = 100.0;             // one erase command (a whole bank region)
    double program_ms_per_64k = 200.0;   // programming, proportional to the bytes written
    double checksum_ms = 20.0;           // one checksum command
};

struct ModelledUpdate {
    std::size_t commands = 0;
    std::size_t data_bytes = 0;
    double product_ms = 0;  // what the product and the link take, by the model
};

ModelledUpdate ModelUpdate(std::span<const sim::TraceEntry> trace,
                           const ProductCostModel& model = {});

}  // namespace torvex::bench
