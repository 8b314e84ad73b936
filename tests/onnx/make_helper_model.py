#!/usr/bin/python3
"""Makes data/helper_model.onnx with onnx.helper, once: the bytes that the encoder test holds the
ONNX encoder against. Every message and attribute kind that Tarvex writes is in it; the graph is
for its bytes, not for a runtime."""
import struct
import sys

from onnx import TensorProto, helper

W = [0.1, -2.5e-300, 1e300, -0.0]  # the rows of the weights; awkward bits on purpose
B = [0.5, -1.0 / 3.0]

nodes = [
    helper.make_node("Imputer", ["x"], ["imputed"], name="imputed", domain="ai.onnx.ml",
                     imputed_value_floats=[0.5, 1.5], replaced_value_float=-1.0),
    helper.make_node("Gemm", ["imputed", "weights", "biases"], ["sum"], name="sum",
                     doc_string="x W' + b", transB=1, alpha=1.0),
    helper.make_node("Softmax", ["sum"], ["probabilities"], name="probabilities", axis=1),
    helper.make_node("ArgMax", ["probabilities"], ["class"], name="class", axis=1, keepdims=0),
    helper.make_node("LabelEncoder", ["class"], ["label"], name="label", domain="ai.onnx.ml",
                     keys_int64s=[0, 1, -7], values_strings=["no", "yes", ""],
                     default_string="?"),
]
initializers = [
    helper.make_tensor("weights", TensorProto.DOUBLE, [2, 2], struct.pack("<4d", *W), raw=True),
    helper.make_tensor("biases", TensorProto.DOUBLE, [2], struct.pack("<2d", *B), raw=True),
    helper.make_tensor("half", TensorProto.FLOAT, [], struct.pack("<f", 0.5), raw=True),
]
graph = helper.make_graph(
    nodes, "fixture",
    [helper.make_tensor_value_info("x", TensorProto.DOUBLE, ["N", 2], doc_string="two columns")],
    [helper.make_tensor_value_info("probabilities", TensorProto.DOUBLE, ["N", 2]),
     helper.make_tensor_value_info("label", TensorProto.STRING, ["N"])],
    initializer=initializers, doc_string="a small classifier")
model = helper.make_model(
    graph, ir_version=7, producer_name="Tarvex", producer_version="0.1", doc_string="fixture",
    opset_imports=[helper.make_opsetid("", 13), helper.make_opsetid("ai.onnx.ml", 2)])
helper.set_model_props(model, {"tarvex.version": "0.1", "tarvex.options": '{"af":0}'})
with open(sys.argv[1] if len(sys.argv) > 1 else "data/helper_model.onnx", "wb") as out:
    out.write(model.SerializeToString())
