// The fast dispersal pass: the same results as the reference pass (Density grid,
// generator state, faults) with the individuals split into chunks that run on
// several threads. Each chunk starts its draws by jumping the generator ahead, so the
// split does not change a single number.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "Dispersal.h"
#include "DispersalKernel.h"
#include "OffsetTable.h"
#include "Plot.h"
#include "WorkerPool.h"

namespace glebix {

struct RunSpecies;

class FastDispersal {
public:
    // Uses `threadCount` threads in all: the calling thread and threadCount - 1 workers.
    explicit FastDispersal(int threadCount);
    ~FastDispersal();
    FastDispersal(const FastDispersal &) = delete;
    FastDispersal &operator=(const FastDispersal &) = delete;

    int ThreadCount() const { return threadCount_; }
    // The worker threads (null for one thread), free between passes for other work.
    WorkerPool *Pool() const { return pool_.get(); }
    // True while a pass runs (a pass cannot start from the yields of another).
    bool Busy() const { return busy_; }

    // One dispersal pass over `plot`, drawing from the generator state `seed`.
    // `yield` runs on the calling thread, once per cell in all, as the work advances.
    // On a floating-point fault the plot is left as it was, `seed` holds the state
    // the reference pass reaches at the fault, and the same GlebixError is raised.
    // `plain` takes the plain preparation of the cells and reads no offset from the
    // offset table (for measurements); the results are the same. Returns how many
    // individuals left a bounded plot.
    std::int64_t Run(TPlot &plot, const RunSpecies &species, std::uint32_t &seed, const std::function<void()> &yield,
                     bool plain = false);

    // Individuals per chunk for a pass of `total` individuals on `threadCount` threads.
    static std::uint64_t ChunkSizeFor(std::uint64_t total, int threadCount);

private:
    // How a cell's individuals are handled.
    enum class CellMode : std::uint8_t {
        Empty,    // N <= 0: no draws
        AllStay,  // |S / CellSize| R < 1/2 for every R: nobody moves, draws only
        Counted,  // movers counted per offset, then added per offset (small pieces: one by
                  // one), or read from the offset table
        Direct,   // offsets too wide for counting: movers added one by one
        Exact,    // scale too large for the approximations: the exact expression
    };

    // What a pass knows of a cell before the draws.
    struct CellPlan {
        double S = 0;               // displacement scale
        double Scale = 0;           // S / CellSize
        std::int32_t N = 0;         // count at the start of the pass
        std::int32_t CellSize = 1;  // the plot's cell size
        std::int32_t Reach = 0;     // bound of |di| and |dj| (Counted)
        // Individuals whose U2 state is at least this surely stay (R |scale| < 1/2);
        // above 2^32 when too few would, and no individual is sorted out.
        std::uint64_t StayFrom = 0;
        CellMode Mode = CellMode::Empty;
    };

    // What one thread gathers in a pass.
    struct Scratch;

    // Where planning stopped: a fault of the preparation ends the pass at its cell,
    // after the draws of the cells before it.
    struct PlanOutcome {
        std::exception_ptr Fault;
        int CellsVisited = 0;
    };
    struct PlanFault {
        std::exception_ptr Error;  // the first fault of a block of cells, if any
        int Cell = 0;
    };
    // Blocks of cells that the threads plan: ten on the 50 x 50 plot, one per
    // PlanBlockCells on larger ones.
    static constexpr int MinPlanBlocks = 10;
    static constexpr int PlanBlockCells = CellCount / MinPlanBlocks;

    // ---- Stages of a pass, in order --------------------------------------------
    void PlanBlocks();
    PlanOutcome NumberIndividuals();
    void ChooseTable(bool plain);
    void StartChunks();
    void RunChunks(const std::function<void()> &yield, int cellsVisited);
    std::int64_t FinishPass(TPlot &plot, std::uint32_t &seed, const std::exception_ptr &planFault);
    void UsePlot(const TPlot &plot);
    int BlockBegin(int block) const { return static_cast<int>(std::int64_t{cells_} * block / planBlocks_); }
    // Where an individual of `cell` moved by (di, dj) arrives: the cell, or -1 beyond a
    // bounded plot's edge.
    int DestinationCell(int cell, std::int64_t di, std::int64_t dj) const;
    // The same for offsets smaller than both sides, without a division.
    int NearbyCell(int row, int column, int di, int dj) const;

    void PlanBlock(int block);
    // Counted, with offsets read from the table where it is sure.
    bool Tabled(const CellPlan &p) const;
    static void PlanOf(const DispersalCell &cell, CellPlan &plan);
    static void WorkerJob(void *self, int worker);
    void TakeChunks(Scratch &scratch);
    void RunChunk(std::uint64_t chunk, Scratch &scratch);
    // Individuals [first, first + count) of `cell`, whose draws start after `state`;
    // returns the state after their draws, or false through `ok` on a fault.
    std::uint32_t RunPiece(int cell, std::uint64_t first, std::uint64_t count, std::uint32_t state, Scratch &scratch,
                           bool &ok);
    std::uint32_t RunExact(int cell, std::uint64_t first, std::uint64_t count, std::uint32_t state, Scratch &scratch,
                           std::uint32_t &moved, bool &ok);
    std::uint32_t RunTabled(int cell, std::uint64_t count, std::uint32_t state, Scratch &scratch, std::uint32_t &moved);
    void FoldPadded(Scratch &scratch) const;
    std::uint32_t RunApproximate(int cell, std::uint64_t count, std::uint32_t state, Scratch &scratch,
                                 std::uint32_t &moved);
    int MayMove(const CellPlan &p, int block, Scratch &scratch, const std::uint32_t *&states1,
                const std::uint32_t *&states2);
    std::uint32_t AddCounted(int cell, const CellPlan &p, Scratch &scratch) const;
    void RecordFault(std::uint64_t key, const char *message, Scratch &scratch);
    void PaceYields(const std::function<void()> &yield, std::uint64_t limit);

    const int threadCount_;
    std::unique_ptr<Scratch[]> scratch_;  // one per thread; [0] is the calling thread's
    std::unique_ptr<WorkerPool> pool_;    // the other threads
    bool busy_ = false;
    OffsetTable table_;          // for the scale that most individuals share
    bool tableInUse_ = false;    // in the pass under way
    double lastCandidate_ = -1;  // scale the table was wanted for in the previous pass

    // ---- State of the pass under way -------------------------------------------
    const TPlot *plot_ = nullptr;
    const RunSpecies *species_ = nullptr;
    DispersalCellPreparation prepare_ = nullptr;
    // The shape of the plot the grids below are made for (at the first pass on it).
    int width_ = 0, height_ = 0, cells_ = 0, paddedColumns_ = 0;
    bool bounded_ = false;
    int planBlocks_ = 0;
    std::vector<PlanFault> planFault_;
    std::atomic<int> nextPlanBlock_{0};
    std::atomic<int> plannedBlocks_{0};
    std::atomic<bool> chunksReady_{false};  // the individuals are numbered: chunks may start
    std::vector<CellPlan> plan_;
    std::vector<std::uint64_t> first_;  // index of each cell's first individual; [cells_] = total
    std::uint64_t total_ = 0;           // individuals that draw in the pass
    std::uint64_t chunkSize_ = 1;
    std::uint64_t chunkCount_ = 0;
    std::uint32_t startSeed_ = 0;
    std::atomic<std::uint64_t> nextChunk_{0};
    std::atomic<std::uint64_t> doneIndividuals_{0};
    std::atomic<std::uint64_t> earliestFault_{0};  // smallest fault key met so far
    std::uint64_t yieldsDone_ = 0;
    std::exception_ptr yieldError_;
};

}  // namespace glebix
