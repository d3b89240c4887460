-- params: Parametro, Nota_Fiscal_ID, Agendamento_Frac_ID
-- Removes the earlier tracking events of one kind of a fractional schedule or
-- invoice, so that closing a fractional order again replaces its events
-- instead of adding to them. At least one of the two ids is required: without
-- either, every event of that kind would go.
-- Answers retorno 0 (also when there was nothing to remove), or 1 with the
-- reason in Msg_Ret and nothing removed.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, 'Informe o evento de tracking a excluir.'
 WHERE :Parametro IS NULL
UNION ALL
SELECT 2, 1, 'Informe a nota fiscal ou o agendamento dos trackings a excluir.'
 WHERE :Nota_Fiscal_ID IS NULL AND :Agendamento_Frac_ID IS NULL;

DELETE FROM TRACKING
 WHERE TAB_EVENTO_TRACKING_ID = :Parametro
   AND (:Nota_Fiscal_ID IS NULL OR NOTA_FISCAL_ID = :Nota_Fiscal_ID)
   AND (:Agendamento_Frac_ID IS NULL OR AGENDAMENTO_FRAC_ID = :Agendamento_Frac_ID)
   AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS Msg_Ret;

DELETE FROM RECUSA_CHAMADA;
