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
    acceptedDistances_.clear();
    acceptedSeeds_.clear();
    acceptedRuns_.clear();
    generationRuns_ = 0;
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
        const std::vector<double> step = kernel_->Times(z);
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

void AbcSmc::TakeDistances(std::span<const double> distances) {
    if (!batchOut_) throw CalibrationError("calibration.no_batch", {});
    if (distances.size() != batch_.size())
        throw CalibrationError("calibration.distance_count", {CountText(distances.size()), CountText(batch_.size())});
    for (std::size_t i = 0; i < distances.size(); ++i) {
        const double d = distances[i];
        if (acceptedDistances_.size() < settings_.Population && std::isfinite(d) && d <= tolerance_) {
            accepted_.AppendRow(batchWorking_.Row(i));
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
// particles_), in logarithms so that no weight underflows. Both populations are first
// whitened by the kernel's factor, so each kernel term costs a plain squared length.
void AbcSmc::Reweigh() {
    const std::size_t n = accepted_.Rows, d = factors_.size();
    Matrix previous(0, d), proposals(0, d);
    std::vector<double> logWeights;
    for (std::size_t j = 0; j < particles_.Rows; ++j) {
        if (!(weights_[j] > 0)) continue;
        previous.AppendRow(kernel_->Whiten(particles_.Row(j)));
        logWeights.push_back(std::log(weights_[j]));
    }
    for (std::size_t i = 0; i < n; ++i) proposals.AppendRow(kernel_->Whiten(accepted_.Row(i)));
    std::vector<double> logDensity(n), terms(previous.Rows);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < previous.Rows; ++j) {
            double squared = 0;
            for (std::size_t c = 0; c < d; ++c) {
                const double difference = proposals(i, c) - previous(j, c);
                squared += difference * difference;
            }
            terms[j] = logWeights[j] - squared / 2;
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
    distances_ = acceptedDistances_;
    seeds_ = acceptedSeeds_;
    runNumbers_ = acceptedRuns_;
    history_.push_back({tolerance_, generationRuns_, accepted_.Rows});
    completeRuns_ += generationRuns_;
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

// The next tolerance, the kernel and the cumulative weights of the complete population.
void AbcSmc::Prepare() {
    if (history_.empty()) return;
    const std::vector<double> equal(distances_.size(), 1.0);
    tolerance_ = std::max(WeightedQuantile(distances_, equal, settings_.Quantile), settings_.TargetTolerance);
    // Runs of equal summaries (extinct ones, say) may tie at the quantile, which would
    // then stay at the last tolerance for ever: the next one is the largest distance
    // below it.
    const double last = history_.back().Tolerance;
    if (tolerance_ >= last) {
        double below = -1;
        for (double d : distances_)
            if (d < last) below = std::max(below, d);
        if (below >= 0) tolerance_ = std::max(below, settings_.TargetTolerance);
    }
    Matrix covariance = WeightedCovariance(particles_, weights_);
    for (double &v : covariance.Values) v *= KernelScale;
    kernel_.emplace(covariance);
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
    return out;
}

}  // namespace glebix::calibration
