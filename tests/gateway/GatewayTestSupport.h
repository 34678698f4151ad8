#pragma once
// A gateway on a free loopback port in front of a stand-in for Apertium's service that answers
// "[spa|eng] text" (or "not installed" for German), with a users file and a database of its own.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>

#include "gateway/GatewayServer.h"
#include "gateway/Users.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempDir.h"

namespace talvero {

namespace gatewaytest {

inline loopback::Reply FakeApertium(const loopback::RecordedRequest& request)
{
    std::string pair = loopback::Field(request.form, "langpair");
    if (pair.rfind("deu|", 0) == 0)
        return {400,
                R"({"status": "error", "code": 400, "explanation": "That pair is not installed"})",
                "application/json"};
    nlohmann::json reply = {
        {"responseData",
         {{"translatedText", "[" + pair + "] " + loopback::Field(request.form, "q")}}},
        {"responseStatus", 200}};
    return {200, reply.dump(), "application/json"};
}

class GatewayFixture : public testing::Test {
protected:
    void SetUp() override
    {
        apertium.SetHandler(FakeApertium);
        config.port = 0;
        config.apertiumAddress = apertium.BaseAddress();
        config.databaseFile = dir.File("uploads.sqlite");
        config.usersFile = dir.File("users.txt");
    }
    void TearDown() override { gateway.reset(); }
    void StartGateway()
    {
        gateway = std::make_unique<GatewayServer>(config);
        std::string error;
        ASSERT_TRUE(gateway->StartInBackground(error)) << error;
    }

    TempDir dir;
    loopback::HttpServer apertium;
    GatewayConfig config;
    std::unique_ptr<GatewayServer> gateway;
};

}  // namespace gatewaytest

}  // namespace talvero
