// What one sign-in costs: the Argon2id check of a password, the same check remembered for
// a client that sends its Basic header with every request, and a wrong password.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "auth/OperatorDirectory.h"
#include "auth/PasswordHash.h"

namespace {

namespace fs = std::filesystem;

const std::string& Hash() {
    static const std::string hash = zm::auth::HashPassword("s3cret");
    return hash;
}

void BM_VerifyPassword(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(zm::auth::VerifyPassword(Hash(), "s3cret"));
    }
}
BENCHMARK(BM_VerifyPassword)->Unit(benchmark::kMillisecond);

// A directory over a real accounts file; `remembered`: the second and later sign-ins of
// the same credentials.
void SignIn(benchmark::State& state, bool remembered, const std::string& password) {
    const fs::path dir = fs::temp_directory_path() / ("zm-signin-" + std::to_string(::getpid()));
    const std::string path = (dir / "Operators.txt").string();
    std::string error;
    zm::auth::COperatorFile::Modify(
        path,
        [](zm::auth::COperatorFile& f, std::string*) {
            f.Set({"olga", zm::auth::Role::Operator, Hash()});
            return true;
        },
        &error);
    zm::auth::COperatorDirectory directory(path);
    if (remembered) {
        directory.Authenticate("olga", password);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(directory.Authenticate("olga", password));
    }
    fs::remove_all(dir);
}

void BM_SignInWrongPassword(benchmark::State& state) {
    SignIn(state, false, "wrong");  // a wrong password is never remembered: every one hashes
}
BENCHMARK(BM_SignInWrongPassword)->Unit(benchmark::kMillisecond);

void BM_SignInRemembered(benchmark::State& state) {
    SignIn(state, true, "s3cret");
}
BENCHMARK(BM_SignInRemembered)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
