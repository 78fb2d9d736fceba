#include "AudioTestSupport.hpp"

namespace plinkora::testing {

std::vector<float> OfflineOutput::render(std::size_t frames, std::vector<float>* preReverb) {
    std::vector<float> out(frames * 2, 0.0f);
    std::vector<float> tap(frames * 2, 0.0f);
    if (graph_ != nullptr) {
        graph_->render(out.data(), frames, audio::AudioRenderer::kNoClock, tap.data());
    }
    if (preReverb != nullptr) {
        preReverb->insert(preReverb->end(), tap.begin(), tap.end());
    }
    return out;
}

} // namespace plinkora::testing
