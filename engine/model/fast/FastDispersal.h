// The fast dispersal pass: the same results as the reference pass (Density grid,
// generator state, faults) with the individuals split into chunks that run on
// several threads. Each chunk starts its draws by jumping the generator ahead, so the
// split does not change a single number. The threads and work grids are the step's
// (StepResources), borrowed for the pass.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "DispersalCell.h"
#include "DispersalKernel.h"
#include "OffsetTable.h"
#include "Plot.h"
#include "StepResources.h"

namespace glebix {

struct RunSpecies;

class FastDispersal {
public:
    FastDispersal();
    ~FastDispersal();
    FastDispersal(const FastDispersal &) = delete;
    FastDispersal &operator=(const FastDispersal &) = delete;

    // True while a pass runs (a pass cannot start from the yields of another).
    bool Busy() const { return busy_; }

    // One dispersal pass over `plot`, drawing from the generator state `seed`, on the
    // threads and grids of `step` (sized for the plot). `yield` runs on the calling
    // thread, once per cell in all, as the work advances. On a floating-point fault
    // the plot is left as it was, `seed` holds the state the reference pass reaches at
    // the fault, and the same GlebixError is raised. `plain` takes the plain
    // preparation of the cells and reads no offset from the offset table (for
    // measurements); the results are the same. Returns how many individuals left a
    // bounded plot.
    std::int64_t Run(StepResources &step, TPlot &plot, const RunSpecies &species, std::uint32_t &seed,
                     const std::function<void()> &yield, bool plain = false);

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

    // What the pass knows of a cell before its draws, worked out from the cell's
    // preparation by the thread that meets it (again by the next one when a chunk ends
    // inside the cell).
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

    // Bytes between data of different threads.
    static constexpr std::size_t ApartBytes = 128;
    // Widest offset that Counted cells count per offset.
    static constexpr int MaxCountedReach = 24;
    static constexpr int MaxCountedSide = 2 * MaxCountedReach + 1;

    // What one thread works with in a pass. Threads' scratches share no cache line (nor
    // a pair of lines, which the processor fetches together): a thread writing its plan
    // beside the lanes another thread reads for every mover slowed large plots' passes
    // by half, depending on where the allocator put them.
    struct alignas(ApartBytes) Scratch {
        // Arrivals minus departures on the step's work grids, modulo 2^32; lane 1 takes
        // every other tabled individual, so that consecutive ones rarely add to the same
        // value.
        std::uint32_t *Lane[StepResources::Lanes];
        std::int64_t Emigrants = 0;  // movers that left a bounded plot
        // Movers of the current cell per offset ((di + Reach) * side + dj + Reach), in
        // four copies like the lanes; all zero between cells.
        std::uint32_t Counts[4][MaxCountedSide * MaxCountedSide];
        std::uint32_t States1[OffsetBlock];  // generator states of the U1 draws of a block
        std::uint32_t States2[OffsetBlock];  // and of the U2 draws
        std::uint32_t Moving1[OffsetBlock];  // the same for the individuals that may move
        std::uint32_t Moving2[OffsetBlock];
        std::int32_t Di[OffsetBlock];  // their offsets
        std::int32_t Dj[OffsetBlock];
        // The earliest fault met: its key (2 x individual + 1 for an individual's
        // offsets, 2 x the cell's first individual for a cell's preparation) or
        // NoFault, its cell, and its message or the preparation's error.
        std::uint64_t FaultKey;
        int FaultCell;
        MessageKey FaultMessage;
        std::exception_ptr FaultError;
        int PlanCell = -1;  // the cell `Plan` is for
        CellPlan Plan;
        double StayScale = 0;  // the scale StayFrom was last worked out for
        std::uint64_t StayFrom = 0;
        // The largest Counted cell met within the table's reach: the scale the table
        // is wanted for.
        std::int32_t LargestN = -1;
        double LargestScale = 0;
        std::int32_t LargestReach = 0;
    };

    // A fault of the preparation of a block's empty cells: it ends the pass at its
    // cell, after the draws of the cells before it.
    struct PlanFault {
        std::exception_ptr Error;
        int Cell = 0;
    };
    // Blocks of cells that the threads prepare and sum, and where chunks look for
    // their first cell: ten on the 50 x 50 plot, one per PlanBlockCells on larger ones
    // (long for the reason CellShare's blocks are; a chunk's search for its first cell
    // stays short beside its work).
    static constexpr int MinPlanBlocks = 10;
    static constexpr int PlanBlockCells = 4096;
    // Cells per block of the final sum, at the least (the blocks are whole rows).
    static constexpr int SumBlockCells = 16384;

    // ---- Stages of a pass, in order (FastDispersal.cpp) ---------------------------
    void UsePlot(StepResources &step, TPlot &plot);
    void PlanBlocks();
    void PlanBlock(int block);
    int NumberIndividuals();
    void TrackChunks();
    void ChooseTable(bool plain);
    void StartChunks();
    void RunChunks(const std::function<void()> &yield, int cellsVisited);
    std::int64_t FinishPass(std::uint32_t &seed);
    void NoteCandidate(const Scratch *largest);
    static void SumRows(void *self, int block, int thread);
    int BlockBegin(int block) const { return static_cast<int>(std::int64_t{cells_} * block / planBlocks_); }
    static void WorkerJob(void *self, int worker);
    void TakeChunks(Scratch &scratch);
    void RunChunk(std::uint64_t chunk, Scratch &scratch);
    void FoldMargins(Scratch &scratch) const;
    void ClearGrids();
    int CellsBehind();
    std::uint64_t SeekIndividual(std::uint64_t at, int &cell, std::uint64_t &cellFirst) const;
    const Scratch *EarliestFault() const;
    void PaceYields(const std::function<void()> &yield, std::uint64_t limit);
    void RecordFault(std::uint64_t key, int cell, MessageKey message, std::exception_ptr error, Scratch &scratch);

    // ---- A cell's individuals (FastDispersalCells.cpp) --------------------------
    const CellPlan &PlanFor(int cell, Scratch &scratch) const;
    static void PlanOf(const DispersalCell &cell, CellPlan &plan);
    // Counted, with offsets read from the table where it is sure.
    bool Tabled(const CellPlan &p) const;
    // Individuals [first, first + count) of `cell`, whose first individual in the pass
    // is `cellFirst` and whose draws start after `state`; returns the state after their
    // draws, or false through `ok` on a fault.
    std::uint32_t RunPiece(int cell, std::uint64_t cellFirst, std::uint64_t first, std::uint64_t count,
                           std::uint32_t state, Scratch &scratch, bool &ok);
    std::uint32_t RunExact(int cell, const CellPlan &p, std::uint64_t firstKey, std::uint64_t count,
                           std::uint32_t state, Scratch &scratch, std::uint32_t &moved, bool &ok);
    std::uint32_t RunTabled(int cell, const CellPlan &p, std::uint64_t count, std::uint32_t state, Scratch &scratch);
    std::uint32_t RunApproximate(int cell, const CellPlan &p, std::uint64_t count, std::uint32_t state,
                                 Scratch &scratch, std::uint32_t &moved);
    int MayMove(const CellPlan &p, int block, Scratch &scratch, const std::uint32_t *&states1,
                const std::uint32_t *&states2) const;
    std::uint32_t AddCounted(int cell, const CellPlan &p, Scratch &scratch) const;
    // `n` movers from cell (row, column) by (di, dj), added where they arrive.
    void Arrive(Scratch &scratch, int row, int column, std::int64_t di, std::int64_t dj, std::uint32_t n = 1) const;

    std::unique_ptr<Scratch[]> scratch_;  // one per thread; [0] is the calling thread's
    int scratchCount_ = 0;
    bool busy_ = false;
    OffsetTable table_;  // for the scale that most individuals share
    bool tableInUse_ = false;
    // The scale the table was wanted for in the last two passes, and the individuals
    // of the last pass.
    double candidate_ = -1, lastCandidate_ = -1;
    int candidateReach_ = 0;
    bool hasCandidate_ = false, tableBuilt_ = false;
    std::uint64_t lastTotal_ = 0;

    // ---- State of the pass under way -------------------------------------------
    StepResources *step_ = nullptr;
    int threadCount_ = 1;
    TPlot *plot_ = nullptr;
    const RunSpecies *species_ = nullptr;
    DispersalCellPreparation prepare_ = nullptr;
    // The shape of the plot the block tables are made for (at the first pass on it).
    int width_ = 0, height_ = 0, cells_ = 0, paddedColumns_ = 0;
    bool bounded_ = false;
    int planBlocks_ = 0;
    int sumBlocks_ = 1;
    std::vector<PlanFault> planFault_;
    std::exception_ptr planError_;           // the first fault of the empty cells' preparation
    std::vector<std::uint64_t> blockFirst_;  // first individual of each block; [planBlocks_] = total
    std::atomic<int> nextPlanBlock_{0};
    std::atomic<int> plannedBlocks_{0};
    std::atomic<bool> chunksReady_{false};  // the individuals are numbered: chunks may start
    std::uint64_t total_ = 0;               // individuals that draw in the pass
    std::uint64_t chunkSize_ = 1;
    std::uint64_t chunkCount_ = 0;
    std::uint32_t startSeed_ = 0;
    std::atomic<std::uint64_t> nextChunk_{0};
    std::atomic<std::uint64_t> earliestFault_{0};  // smallest fault key met so far
    std::uint64_t yieldsDone_ = 0;
    // With yields only: which chunks ended without a fault, how many did from the
    // first on, and the cell of the first individual of the next (and its number).
    bool trackChunks_ = false;
    std::vector<std::atomic<bool>> chunkDone_;
    std::uint64_t chunksBehind_ = 0;
    int behindCell_ = 0;
    std::uint64_t behindFirst_ = 0;
    std::exception_ptr yieldError_;
};

}  // namespace glebix
