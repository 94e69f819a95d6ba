// The MongoDB double computes as MongoDB's manual says: the stories compare its sums with the engine's,
// and a slip in the fingerprint shows only where the double keeps MongoDB's types, their overflow, the
// sign of $mod and byte offsets.
#include <gtest/gtest.h>

#include "rig.h"

using namespace qortest;

TEST(MongoDouble, ComputesWhatMongoDBsManualSays) {
    Sandbox box;
    box.write("tevfs/nosql/t.jsonl", R"({"_id":{"$oid":"ffffffff0000000000000001"}}
{"_id":{"$oid":"000000010000000000000002"}}
{"_id":"manual-fix-2026-11"}
{"_id":7}
)");
    const std::string sum = R"(String(db.t.aggregate([{ $match: { _id: { $gte: ObjectId("000000000000000000000000"), )"
                            R"($lte: ObjectId("ffffffffffffffffffffffff") } } }, { $group: { _id: null, f: { $sum: )";
    const struct { std::string expression, printed; } cases[] = {  // summed over the two ObjectIds
        {R"({ $add: [2147483647, 1] })", "4294967296"},                                  // an int that overflows: a long
        {R"({ $mod: [{ $multiply: [{ $add: [2147483647, 2147483647, 5] }, { $add: [2147483647, 2147483647, 5] }] }, 1000] })", "784"},  // a long that overflows: a double, its last digits lost
        {R"({ $add: [{ $multiply: [{ $add: [2147483647, 2147483647, 2] }, 2147483647] }, { $add: [2147483647, 2147483647, 1] }] })",
         "18446744073709552000"},                                                       // so is a $sum beyond the long range
        {R"({ $mod: [-7, 3] })", "-2"},                                                  // the dividend's sign
        {R"({ $indexOfBytes: ["0123456789abcdef", { $substrBytes: [{ $toString: "$_id" }, 23, 1] }] })", "3"},
        {R"({ $indexOfBytes: ["0123456789abcdef", { $substrBytes: [{ $toString: "$_id" }, 24, 1] }] })", "0"},  // "" is found at 0
        {R"({ $let: { vars: { a: 2 }, in: { $let: { vars: { a: { $multiply: ["$$a", 10] } }, in: "$$a" } } } })", "40"},
        {R"({ $pow: [2, 3] })", "MongoServerError, status 1"},                           // what it does not know fails the call
        {R"(db.t.countDocuments({ _id: { $not: { $type: "objectId" } } }))", "2"},
        {R"(db.t.countDocuments({ _id: { $type: 7 } }))", "2"},
        {R"(db.t.countDocuments({ _id: { $lte: ObjectId("ffffffffffffffffffffffff") } }))", "2"},  // no string nor number
    };
    for (const auto& c : cases) {
        const std::string script = c.expression.starts_with("{") ? sum + c.expression + " } } }]).toArray()[0].f)" : c.expression;
        const Result r = box.shell("mongosh 127.0.0.1:8825/qornosql --quiet --eval 'db.auth(\"mongouser\", process.env.QOR_MONGO_PASSWORD); " + script + "'");
        EXPECT_EQ(r.status == 0 ? r.out : r.err.substr(0, r.err.find(':')) + ", status " + std::to_string(r.status) + r.out,
                  c.printed + (r.status == 0 ? "\n" : "")) << c.expression << r.err;
    }
}
