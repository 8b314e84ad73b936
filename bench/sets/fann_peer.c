/* FANN 2.2 on one benchmark set: trains a three-layer network incrementally (one weight update per
   row, rows in file order) and writes its outputs for the test rows, one row per line, so that
   the drivers compute every peer's error the same way. */
#include <doublefann.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 9) {
    fprintf(stderr,
            "usage: fann_peer TRAIN TEST HIDDEN LEARNING-RATE MOMENTUM EPOCHS SEED PREDICTIONS\n");
    return 2;
  }
  struct fann_train_data* train = fann_read_train_from_file(argv[1]);
  struct fann_train_data* test = fann_read_train_from_file(argv[2]);
  if (train == NULL || test == NULL) return 1;
  struct fann* ann = fann_create_standard(3, fann_num_input_train_data(train), atoi(argv[3]),
                                          fann_num_output_train_data(train));
  if (ann == NULL) return 1;
  fann_set_training_algorithm(ann, FANN_TRAIN_INCREMENTAL);
  fann_set_learning_rate(ann, (float)atof(argv[4]));
  fann_set_learning_momentum(ann, (float)atof(argv[5]));
  fann_set_activation_function_hidden(ann, FANN_SIGMOID);
  fann_set_activation_function_output(ann, FANN_SIGMOID);
  /* FANN seeds rand() from /dev/urandom when it makes the network; a seed of our own makes the
     run repeatable. */
  srand((unsigned)atoi(argv[7]));
  fann_randomize_weights(ann, -0.3, 0.3);
  for (int epoch = atoi(argv[6]); epoch > 0; --epoch) fann_train_epoch(ann, train);

  FILE* out = fopen(argv[8], "w");
  if (out == NULL) return 1;
  for (unsigned row = 0; row < fann_length_train_data(test); ++row) {
    const fann_type* outputs = fann_run(ann, test->input[row]);
    for (unsigned column = 0; column < fann_get_num_output(ann); ++column)
      fprintf(out, column ? " %.17g" : "%.17g", outputs[column]);
    fputc('\n', out);
  }
  fann_destroy(ann);
  fann_destroy_train(train);
  fann_destroy_train(test);
  return fclose(out) == 0 ? 0 : 1;
}
