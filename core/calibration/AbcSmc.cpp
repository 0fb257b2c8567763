// Population Monte Carlo ABC of Beaumont, Cornuet, Marin and Robert (2009), "Adaptive
// approximate Bayesian computation", Biometrika 96:983-990: generation t keeps the
// proposals within tolerance eps_t, each proposal drawn from a particle of generation
// t - 1 (picked by weight) and moved by a Gaussian kernel of twice the population's
// weighted covariance; its weight is prior(theta) / sum_j w_j K(theta | theta_j). The
// tolerances decrease as in Del Moral, Doucet and Jasra (2012): eps_t is a quantile of
// generation t - 1's distances. The prior is flat on each factor's working scale, so its
// density is constant inside the bounds; a proposal outside them is drawn again, from a
// newly picked particle, as in Toni, Welch, Strelkowa, Ipsen and Stumpf (2009), J. R.
// Soc. Interface 6:187-202: the proposal's density is then the kernel mixture times one
// constant, and the weights need no correction for the truncation.
// The population's size is the caller's, not tied to any accept fraction. A generation
// cut short by the run budget is kept when it accepted enough: its particles are
// independent draws from the same proposal within the same tolerance, so they are a
// smaller sample of the same importance-weighted posterior (the runs are not wasted).
// The final population may be adjusted by the local-linear regression of Beaumont, Zhang
// and Balding (2002) with its importance weights, as Beaumont et al. (2009) do.
#include "AbcSmc.h"

#include <algorithm>
#include <cmath>

#include "CalibrationError.h"

namespace glebix::calibration {

namespace {

// A batch is sized on the share of runs accepted so far, never below this share.
constexpr double MinBatchRate = 0.01;
// Proposals drawn for one point before the support is declared out of reach.
constexpr std::size_t MaxProposalAttempts = 100000;
constexpr double KernelScale = 2.0;  // the kernel's covariance: twice the population's

void CheckSettings(const SmcSettings &s) {
    if (s.Population < MinPopulation)
        throw CalibrationError("calibration.population", {CountText(s.Population), CountText(MinPopulation)});
    if (!(s.Quantile > 0 && s.Quantile < 1)) throw CalibrationError("calibration.quantile", {NumberText(s.Quantile)});
    if (!(s.TargetTolerance >= 0) || !(s.MinAcceptance >= 0 && s.MinAcceptance <= 1))
        throw CalibrationError("calibration.stop_rule", {NumberText(s.TargetTolerance), NumberText(s.MinAcceptance)});
    if (s.MaxGenerations < 1) throw CalibrationError("calibration.generations", {});
    if (!(s.FinalShare > 0 && s.FinalShare <= 1))
        throw CalibrationError("calibration.final_share", {NumberText(s.FinalShare)});
}

}  // namespace

AbcSmc::AbcSmc(std::vector<Factor> factors, SmcSettings settings) : factors_(std::move(factors)), settings_(settings) {
    CheckFactors(factors_);
    CheckSettings(settings_);
    particles_.Cols = factors_.size();
    StartGeneration();
}

void AbcSmc::StartGeneration() {
    stream_ = Stream(Mix64(settings_.Seed ^ Mix64(history_.size())));
    accepted_ = Matrix(0, factors_.size());
    acceptedDifferences_ = Matrix(0, differences_.Cols);
    generationDifferences_ = Matrix(0, differences_.Cols);
    acceptedDistances_.clear();
    acceptedSeeds_.clear();
    acceptedRuns_.clear();
    generationRuns_ = 0;
    generationFaulted_ = 0;
    batch_.clear();
    batchOut_ = false;
}

std::size_t AbcSmc::BatchSize() const {
    const std::size_t needed = settings_.Population - acceptedDistances_.size();
    double rate = 1;
    if (generationRuns_ > 0)
        rate = static_cast<double>(std::max<std::size_t>(acceptedDistances_.size(), 1)) / generationRuns_;
    else if (history_.size() > 1)
        rate = static_cast<double>(history_.back().Accepted) / history_.back().Runs;
    return static_cast<std::size_t>(std::ceil(needed / std::max(rate, MinBatchRate)));
}

std::vector<double> AbcSmc::Propose() {
    const std::size_t d = factors_.size();
    std::vector<double> theta(d);
    if (history_.empty()) {
        for (std::size_t c = 0; c < d; ++c)
            theta[c] =
                WorkingLow(factors_[c]) + stream_.Uniform() * (WorkingHigh(factors_[c]) - WorkingLow(factors_[c]));
        return theta;
    }
    for (std::size_t attempt = 0; attempt < MaxProposalAttempts; ++attempt) {
        const double u = stream_.Uniform() * cumulative_.back();
        const auto j = std::min<std::size_t>(
            std::upper_bound(cumulative_.begin(), cumulative_.end(), u) - cumulative_.begin(), particles_.Rows - 1);
        std::vector<double> z(d);
        for (double &v : z) v = stream_.Normal();
        const std::vector<double> step = KernelOf(j).Times(z);
        bool inside = true;
        for (std::size_t c = 0; c < d; ++c) {
            theta[c] = particles_(j, c) + step[c];
            inside = inside && InSupport(factors_[c], theta[c]);
        }
        if (inside) return theta;
    }
    throw CalibrationError("calibration.outside_prior", {CountText(MaxProposalAttempts)});
}

const std::vector<SmcPoint> &AbcSmc::NextBatch() {
    if (batchOut_ || Done()) return batch_;
    std::size_t size = BatchSize();
    if (settings_.RunBudget > 0) {
        if (Runs() >= settings_.RunBudget) {
            KeepPartialGeneration();
            stop_ = SmcStop::Budget;
            batch_.clear();
            return batch_;
        }
        size = std::min(size, settings_.RunBudget - Runs());
    }
    batch_.clear();
    batchWorking_ = Matrix(0, factors_.size());
    for (std::size_t i = 0; i < size; ++i) {
        const std::vector<double> theta = Propose();
        SmcPoint point;
        for (std::size_t c = 0; c < theta.size(); ++c) point.Values.push_back(FromWorking(factors_[c], theta[c]));
        point.Seed = stream_.Seed32();
        batchWorking_.AppendRow(theta);
        batch_.push_back(std::move(point));
    }
    batchOut_ = true;
    return batch_;
}

void AbcSmc::TakeDistances(std::span<const double> distances) { Take(distances, nullptr); }

std::vector<SummaryScale> AbcSmc::Scales() const {
    std::vector<SummaryScale> scales;
    for (double s : scales_) scales.push_back({s, s > 0 ? ScaleRule::Mad : ScaleRule::Constant});
    return scales;
}

std::vector<double> AbcSmc::DistancesUnderScales(const Matrix &differences) const {
    const std::vector<SummaryScale> scales = Scales();
    const std::vector<double> zero(differences.Cols, 0.0);
    std::vector<double> out;
    for (std::size_t i = 0; i < differences.Rows; ++i) out.push_back(DistanceOf(differences.Row(i), zero, scales));
    return out;
}

// In the prior generation every run that gave summaries is accepted (the tolerance is
// infinite): its distance waits for the scales, set once the generation is complete.
void AbcSmc::TakeDifferences(const Matrix &differences) {
    if (!batchOut_) throw CalibrationError("calibration.no_batch", {});
    if (differences.Rows != batch_.size())
        throw CalibrationError("calibration.distance_count", {CountText(differences.Rows), CountText(batch_.size())});
    // The summaries' count is fixed by the first batch.
    if (history_.empty() && generationRuns_ == 0)
        differences_.Cols = acceptedDifferences_.Cols = generationDifferences_.Cols = differences.Cols;
    if (differences.Cols != differences_.Cols)
        throw CalibrationError("calibration.summary_count",
                               {CountText(differences.Cols), CountText(differences_.Cols)});
    const std::vector<SummaryScale> scales = Scales();
    const std::vector<double> zero(differences.Cols, 0.0);
    std::vector<double> distances;
    for (std::size_t i = 0; i < differences.Rows; ++i) {
        if (Faulted(differences.Row(i))) {
            distances.push_back(std::numeric_limits<double>::quiet_NaN());
            continue;
        }
        generationDifferences_.AppendRow(differences.Row(i));
        distances.push_back(scales_.empty() ? 0.0 : DistanceOf(differences.Row(i), zero, scales));
    }
    Take(distances, &differences);
}

void AbcSmc::Take(std::span<const double> distances, const Matrix *differences) {
    if (!batchOut_) throw CalibrationError("calibration.no_batch", {});
    if (distances.size() != batch_.size())
        throw CalibrationError("calibration.distance_count", {CountText(distances.size()), CountText(batch_.size())});
    const bool keepDifferences = differences != nullptr;
    for (std::size_t i = 0; i < distances.size(); ++i) {
        const double d = distances[i];
        if (!std::isfinite(d)) ++generationFaulted_;
        if (acceptedDistances_.size() < settings_.Population && std::isfinite(d) && d <= tolerance_) {
            accepted_.AppendRow(batchWorking_.Row(i));
            if (keepDifferences) acceptedDifferences_.AppendRow(differences->Row(i));
            acceptedDistances_.push_back(d);
            acceptedSeeds_.push_back(batch_[i].Seed);
            acceptedRuns_.push_back(Runs() + i + 1);
        }
    }
    generationRuns_ += distances.size();
    batchOut_ = false;
    batch_.clear();
    if (acceptedDistances_.size() == settings_.Population) {
        CompleteGeneration();
        return;
    }
    // A prior generation of which no run gave a distance: the model faults everywhere.
    if (history_.empty() && acceptedDistances_.empty() && generationRuns_ >= settings_.Population)
        throw CalibrationError("calibration.none_accepted", {CountText(generationRuns_)});
    // Even were every run still needed accepted, the generation would end below the least
    // acceptance rate: it stops now, on the last complete population.
    const double best = static_cast<double>(settings_.Population) /
                        (generationRuns_ + settings_.Population - acceptedDistances_.size());
    if (!history_.empty() && best < settings_.MinAcceptance) stop_ = SmcStop::Acceptance;
}

// The weights of the accepted proposals against the previous population (still in
// particles_), in logarithms so that no weight underflows. Each kernel term is the
// squared length of the difference whitened by its kernel's factor, less the logarithm
// of that factor's determinant when the kernels differ by particle.
void AbcSmc::Reweigh() {
    const std::size_t n = accepted_.Rows;
    std::vector<std::size_t> kept;
    std::vector<double> logWeights;
    for (std::size_t j = 0; j < particles_.Rows; ++j) {
        if (!(weights_[j] > 0)) continue;
        kept.push_back(j);
        logWeights.push_back(std::log(weights_[j]) - (settings_.LocalKernel ? LogDeterminant(KernelOf(j)) : 0.0));
    }
    std::vector<double> logDensity(n), terms(kept.size()), difference(factors_.size());
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < kept.size(); ++k) {
            for (std::size_t c = 0; c < difference.size(); ++c)
                difference[c] = accepted_(i, c) - particles_(kept[k], c);
            double squared = 0;
            for (double v : KernelOf(kept[k]).Whiten(difference)) squared += v * v;
            terms[k] = logWeights[k] - squared / 2;
        }
        const double top = *std::max_element(terms.begin(), terms.end());
        double sum = 0;
        for (double t : terms) sum += std::exp(t - top);
        logDensity[i] = top + std::log(sum);
    }
    const double least = *std::min_element(logDensity.begin(), logDensity.end());
    weights_.resize(n);
    for (std::size_t i = 0; i < n; ++i) weights_[i] = std::exp(least - logDensity[i]);
}

void AbcSmc::CompleteGeneration() {
    if (history_.empty())
        weights_.assign(accepted_.Rows, 1.0);
    else
        Reweigh();
    double total = 0;
    for (double w : weights_) total += w;
    for (double &w : weights_) w /= total;
    particles_ = accepted_;
    if (acceptedDifferences_.Rows == accepted_.Rows) differences_ = acceptedDifferences_;
    distances_ = acceptedDistances_;
    seeds_ = acceptedSeeds_;
    runNumbers_ = acceptedRuns_;
    const bool priorGeneration = history_.empty();
    history_.push_back({tolerance_, generationRuns_, accepted_.Rows, generationFaulted_});
    if (differences_.Cols > 0 && (priorGeneration || settings_.AdaptiveScales)) UpdateScales();
    if (differences_.Cols > 0 && priorGeneration) distances_ = DistancesUnderScales(differences_);
    completeRuns_ += generationRuns_;
    completeFaulted_ += generationFaulted_;
    const double acceptance = static_cast<double>(accepted_.Rows) / generationRuns_;
    if (tolerance_ <= settings_.TargetTolerance)
        stop_ = SmcStop::Tolerance;
    else if (history_.size() > 1 && acceptance < settings_.MinAcceptance)
        stop_ = SmcStop::Acceptance;
    else if (history_.size() >= settings_.MaxGenerations)
        stop_ = SmcStop::Generations;
    Prepare();
    StartGeneration();
}

// The scales of the next generation's distance: each summary's spread over the runs of
// the generation just complete, unless given. Rescaled every generation, this is the
// adaptive distance of Prangle (2017), "Adapting the ABC distance function", Bayesian
// Analysis 12:289-309: a summary that varies widely over the prior but little near the
// observations no longer hides the others once the population has moved there.
void AbcSmc::UpdateScales() {
    const std::vector<SummaryScale> spread = SummaryScales(generationDifferences_);
    // A summary that more than half the runs share (extinct runs, say) has no spread to
    // measure there; after the prior generation it keeps its last scale.
    const bool first = scales_.empty();
    scales_.resize(spread.size());
    for (std::size_t c = 0; c < spread.size(); ++c)
        if (first || spread[c].Rule == ScaleRule::Mad) scales_[c] = spread[c].Scale;
    for (std::size_t c = 0; c < given_.size() && c < scales_.size(); ++c)
        if (given_[c] > 0 && std::isfinite(given_[c])) scales_[c] = given_[c];
}

// At the budget: the generation in progress, if it accepted enough, becomes the last one.
void AbcSmc::KeepPartialGeneration() {
    const auto least = static_cast<std::size_t>(std::ceil(settings_.FinalShare * settings_.Population));
    if (!history_.empty() && acceptedDistances_.size() >= std::max(least, MinPopulation)) CompleteGeneration();
}

const Cholesky &AbcSmc::KernelOf(std::size_t particle) const { return kernels_[settings_.LocalKernel ? particle : 0]; }

double AbcSmc::LogDeterminant(const Cholesky &factor) {
    double sum = 0;
    for (std::size_t c = 0; c < factor.Kept.size(); ++c)
        if (factor.Kept[c]) sum += std::log(factor.Lower(c, c));
    return sum;
}

// The optimal local covariance of Filippi, Barnes, Cornebise and Stumpf (2013), "On
// optimality of kernels for approximate Bayesian computation using sequential Monte
// Carlo", Stat. Appl. Genet. Mol. Biol. 12:87-107: particle i's kernel has covariance
// sum_k w_k (theta_k - theta_i)(theta_k - theta_i)', over the particles k already within
// the next tolerance, their weights renormalised; that is their covariance C plus
// (m - theta_i)(m - theta_i)', m their mean. A particle far from the region of the next
// tolerance jumps towards it; one inside it moves locally.
void AbcSmc::LocalKernels(std::span<const double> distances) {
    const std::size_t d = factors_.size();
    Matrix within(0, d);
    std::vector<double> weights;
    for (std::size_t k = 0; k < particles_.Rows; ++k)
        if (distances[k] <= tolerance_ && weights_[k] > 0) {
            within.AppendRow(particles_.Row(k));
            weights.push_back(weights_[k]);
        }
    if (within.Rows == 0) within = particles_, weights = weights_;
    const Matrix covariance = WeightedCovariance(within, weights);
    std::vector<double> mean(d, 0.0);
    double total = 0;
    for (std::size_t k = 0; k < within.Rows; ++k) {
        total += weights[k];
        for (std::size_t c = 0; c < d; ++c) mean[c] += weights[k] * within(k, c);
    }
    for (double &m : mean) m /= total;
    for (std::size_t i = 0; i < particles_.Rows; ++i) {
        Matrix local = covariance;
        for (std::size_t a = 0; a < d; ++a)
            for (std::size_t b = 0; b < d; ++b)
                local(a, b) += (mean[a] - particles_(i, a)) * (mean[b] - particles_(i, b));
        kernels_.emplace_back(local);
    }
}

// The next tolerance, the kernel and the cumulative weights of the complete population.
void AbcSmc::Prepare() {
    if (history_.empty()) return;
    // Rescaled, the population's distances are measured anew, and the last tolerance (on
    // the old scales) no longer bounds them: their largest does.
    const bool rescaled = settings_.AdaptiveScales && differences_.Cols > 0;
    const std::vector<double> population = rescaled ? DistancesUnderScales(differences_) : distances_;
    const std::vector<double> equal(population.size(), 1.0);
    tolerance_ = std::max(WeightedQuantile(population, equal, settings_.Quantile), settings_.TargetTolerance);
    // Runs of equal summaries (extinct ones, say) may tie at the quantile, which would
    // then stay at the last tolerance for ever: the next one is the same quantile of the
    // distances below the tie (the largest of them would only creep down a cluster of
    // nearly equal ones).
    const double last = rescaled ? *std::max_element(population.begin(), population.end()) : history_.back().Tolerance;
    if (tolerance_ >= last) {
        std::vector<double> below;
        for (double d : population)
            if (d < last) below.push_back(d);
        const std::vector<double> ones(below.size(), 1.0);
        if (!below.empty())
            tolerance_ = std::max(WeightedQuantile(below, ones, settings_.Quantile), settings_.TargetTolerance);
    }
    kernels_.clear();
    if (settings_.LocalKernel) {
        LocalKernels(population);
    } else {
        Matrix covariance = WeightedCovariance(particles_, weights_);
        for (double &v : covariance.Values) v *= KernelScale;
        kernels_.emplace_back(covariance);
    }
    cumulative_.clear();
    double sum = 0;
    for (double w : weights_) cumulative_.push_back(sum += w);
}

Posterior AbcSmc::Current() const {
    if (history_.empty()) throw CalibrationError("calibration.no_population", {CountText(Runs())});
    Posterior out;
    out.Factors = factors_;
    out.Values = Matrix(particles_.Rows, factors_.size());
    for (std::size_t i = 0; i < particles_.Rows; ++i)
        for (std::size_t c = 0; c < factors_.size(); ++c) out.Values(i, c) = FromWorking(factors_[c], particles_(i, c));
    out.Unadjusted = out.Values;
    out.Weights = weights_;
    out.Distances = distances_;
    for (std::size_t i = 0; i < particles_.Rows; ++i)
        out.Ids.push_back({runNumbers_[i] - 1, static_cast<std::int64_t>(runNumbers_[i]), seeds_[i], 1});
    out.Tolerance = distances_.empty() ? 0 : *std::max_element(distances_.begin(), distances_.end());
    out.CandidateCount = completeRuns_;
    out.FaultedRuns = completeFaulted_;
    return out;
}

Posterior AbcSmc::Adjusted() const {
    Posterior out = Current();
    if (differences_.Cols == 0 || differences_.Rows != particles_.Rows) return out;
    // The deviations and distances on the last scales: with AdaptiveScales, those made
    // from the last generation's own runs.
    const std::vector<SummaryScale> scales = Scales();
    const std::vector<double> zero(differences_.Cols, 0.0);
    Matrix deviations(0, differences_.Cols);
    for (std::size_t i = 0; i < differences_.Rows; ++i)
        deviations.AppendRow(ScaledDeviations(differences_.Row(i), zero, scales));
    out.Distances = DistancesUnderScales(differences_);
    out.Tolerance = *std::max_element(out.Distances.begin(), out.Distances.end());
    AdjustLocalLinear(out, deviations, AdjustScale::Logit);
    double total = 0;
    for (double w : out.Weights) total += w;
    for (double &w : out.Weights) w /= total;
    return out;
}

}  // namespace glebix::calibration
