-- params: Parametro, Nota_Fiscal_ID, Agendamento_Frac_ID
-- Removes the earlier tracking events of one kind of a fractional schedule or
-- invoice, so that closing a fractional order again replaces its events
-- instead of adding to them. At least one of the two ids is required: without
-- either, every event of that kind would go.
-- Answers retorno 0 (also when there was nothing to remove), or 1 with the
-- reason in Msg_Ret and nothing removed.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller, it joins
-- it behind a savepoint: a failure undoes its own work alone, and the caller
-- commits or rolls back the rest.
CREATE PROCEDURE SP_QRN_EXC_TRACKING_FRAC2(IN p_Parametro INT,
                                           IN p_Nota_Fiscal_ID INT,
                                           IN p_Agendamento_Frac_ID INT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_QRN_EXC_TRACKING_FRAC2;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_QRN_EXC_TRACKING_FRAC2;
  END IF;

  IF p_Parametro IS NULL THEN
    SET v_recusa = 'Informe o evento de tracking a excluir.';
  ELSEIF p_Nota_Fiscal_ID IS NULL AND p_Agendamento_Frac_ID IS NULL THEN
    SET v_recusa = 'Informe a nota fiscal ou o agendamento dos trackings a excluir.';
  END IF;

  IF v_recusa IS NULL THEN
    DELETE FROM TRACKING
     WHERE TAB_EVENTO_TRACKING_ID = p_Parametro
       AND (p_Nota_Fiscal_ID IS NULL OR NOTA_FISCAL_ID = p_Nota_Fiscal_ID)
       AND (p_Agendamento_Frac_ID IS NULL OR AGENDAMENTO_FRAC_ID = p_Agendamento_Frac_ID);
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_QRN_EXC_TRACKING_FRAC2;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret;
END
